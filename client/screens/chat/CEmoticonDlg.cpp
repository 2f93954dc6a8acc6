#include "screens/chat/CEmoticonDlg.h"

#include "screens/chat/EmoticonTable.h"

namespace tavrin::screens {

using namespace platform;
using chat::kEmoticons;

namespace {
controls::ScreenSpec picker_spec(WindowId owner) {
  controls::ScreenSpec spec;
  spec.class_name = "CEmoticonDlg";
  spec.title = u"BriskTavrin";
  spec.rect = {0, Display::kTaskBarHeight, Display::kWidth, Display::kTaskBarHeight + 720};
  spec.owner = owner;
  return spec;
}
}  // namespace

CEmoticonDlg::CEmoticonDlg(WindowId owner, controls::UiContext ui)
    : Screen(picker_spec(owner), std::move(ui)), selected_(chat::kDefaultEmoticon) {}

int CEmoticonDlg::run_modal() {
  const int code = Screen::run_modal();
  destroy();
  return code == 1 ? 1 : 0;
}

std::u16string CEmoticonDlg::code() const {
  return std::u16string(kEmoticons[selected_].code);
}

std::optional<size_t> CEmoticonDlg::cell_at(controls::Point p) {
  if (!kGrid.contains(p)) return std::nullopt;
  return size_t((p.y - kGrid.top) / kCellHeight * kColumns + (p.x - kGrid.left) / kCellWidth);
}

void CEmoticonDlg::on_tap(controls::Point p) {
  if (auto cell = cell_at(p)) {
    if (*cell < kEmoticons.size()) {
      selected_ = *cell;
      repaint();
    }
  } else if (kOk.contains(p)) {
    end_modal(1);
  } else if (kCancel.contains(p)) {
    end_modal(0);
  }
}

bool CEmoticonDlg::on_key(uint32_t key_code) {
  if (key_code == key::kReturn)
    end_modal(1);
  else if (key_code == key::kEscape)
    end_modal(0);
  else
    return false;
  return true;
}

void CEmoticonDlg::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  using namespace platform::text;
  p.fill_rect({0, 0, 480, 720}, t.bg_color);
  p.fill_shaded(kCaption, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  p.text(u"常用表情：", kCaption.offset(20, 0), 30, t.bottom_text_color, kVCenter | kSingleLine);
  // The name of the selection, in a framed well.
  p.fill_rounded(kName, 0xFFFFFF);
  p.draw_rounded_frame(kName, t.line_color);
  p.text(kEmoticons[selected_].name, kName, 30, 0x000000, kCenter | kVCenter | kSingleLine);
  const Rect code{kName.left, kName.bottom + 8, kName.right, kName.bottom + 48};
  p.text(kEmoticons[selected_].code, code, 26, p.legible(t.line_color, code),
         kCenter | kVCenter | kSingleLine);
  // The grid and the selected cell's frame.
  p.fill_rounded({kGrid.left - 4, kGrid.top - 4, kGrid.right + 4, kGrid.bottom + 4}, 0xFFFFFF);
  p.image(skin("Face.png"), kGrid.left, kGrid.top);
  const int col = int(selected_) % kColumns, row = int(selected_) / kColumns;
  const controls::Rect cell{kGrid.left + col * kCellWidth, kGrid.top + row * kCellHeight,
                            kGrid.left + (col + 1) * kCellWidth,
                            kGrid.top + (row + 1) * kCellHeight};
  p.draw_rounded_frame(cell, t.edit_out_line_color);
  p.draw_rounded_frame({cell.left + 1, cell.top + 1, cell.right - 1, cell.bottom - 1},
                       t.edit_out_line_color);
  // The bar: OK at the left, cancel at the right.
  p.fill_shaded(kBar, t.bottom_bk_color, 0xFFFFFF, t.bottom_bg_alpha, 5);
  p.text(u"确定", kOk, 30, t.bottom_text_color, kCenter | kVCenter | kSingleLine);
  p.text(u"取消", kCancel, 30, t.bottom_text_color, kCenter | kVCenter | kSingleLine);
}

}  // namespace tavrin::screens
