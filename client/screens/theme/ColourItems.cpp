#include "screens/theme/ColourItems.h"

namespace tavrin::screens {

using T = shell::ThemeColors;

const ColourItem kColourItems[kColourItemCount] = {
    {u"背景颜色", &T::bg_color, false},
    {u"文字颜色", &T::bg_text_color, false},
    {u"边栏颜色", &T::bottom_bk_color, false},
    {u"边栏文字", &T::bottom_text_color, false},
    {u"菜单底色", &T::menu_bk_color, false},
    {u"菜单文字", &T::menu_text_color, false},
    {u"EDIT背景色", &T::edit_bk_color, true},
    {u"EDIT文字色", &T::edit_text_color, true},
    {u"按钮颜色", &T::btn_bk_color, false},
    {u"按钮文字", &T::btn_text_color, false},
    {u"列表颜色", &T::list_bk_color, false},
    {u"列表文字", &T::list_text_color, false},
    {u"动画颜色", &T::animation_bk_color, true},
    {u"消息框背景", &T::msg_box_bk_color, true},
    {u"消息框文字", &T::msg_box_text_color, true},
    {u"普通分界线", &T::line_color, true},
    {u"列表分界线", &T::list_line_color, true},
    {u"输入框外边", &T::edit_out_line_color, true},
    {u"输入框内边", &T::edit_in_line_color, true},
};

}  // namespace tavrin::screens
