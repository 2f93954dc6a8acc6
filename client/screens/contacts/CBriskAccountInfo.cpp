#include "screens/contacts/CBriskAccountInfo.h"

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "screens/contacts/ProfileLines.h"
#include "screens/files/ScreenFrame.h"

namespace tavrin::screens {

using namespace platform;
using controls::Point;
using controls::Rect;

namespace {

constexpr char16_t kTitle[] = u"查看好友资料";
constexpr char16_t kCaption[] = u"塔文提示";

enum Command { kRename = 1, kRefresh, kExit };

}  // namespace

CBriskAccountInfo::CBriskAccountInfo(long contact_id, controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskAccountInfo", .title = kTitle}, std::move(ui)),
      id_(contact_id) {
  set_frame({.title = kTitle,
             .keys = {{u"修改", controls::kLeftKey, kRename},
                      {u"刷新", controls::kMiddleKey, kRefresh},
                      {u"退出", controls::kRightKey, kExit}}});
  list_.set_row_painter(
      [this](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r, bool) {
        const auto& t = theme();
        gfx::Painter p(c);
        p.text(row.text, {r.left + 20, r.top, r.right - 10, r.bottom}, 26, t.bg_text_color,
               text::kLeft | text::kVCenter | text::kSingleLine);
        p.hline(r.bottom - 1, r.left + 10, r.right - 10, t.line_color);
      });
}

CBriskAccountInfo::~CBriskAccountInfo() {
  destroy();
}

int CBriskAccountInfo::run_modal() {
  const int code = controls::Screen::run_modal();
  destroy();
  return code;
}

bool CBriskAccountInfo::on_create() {
  rename_.create(window(), kRenameBox, 32);
  list_.set_id(kListId);
  const Rect lines = to_screen(kLines);
  if (!list_.create(window(), lines.left, lines.top, lines.right, lines.bottom)) return false;
  list_.set_background(&surface(), to_screen(Point{0, 0}));
  add_list(list_);
  rebuild();
  return true;
}

void CBriskAccountInfo::on_destroy() {
  kill_timer(kRefreshTimer);
  tries_left_ = 0;
  list_.destroy();
  rename_.destroy();
}

bool CBriskAccountInfo::rebuild() {
  std::vector<std::u16string> lines = profile_lines(id_);
  if (lines == lines_ && list_.rows().size() == lines_.size()) return false;
  lines_ = std::move(lines);
  list_.clear();
  for (size_t i = 0; i < lines_.size(); ++i)
    list_.add_row({.text = lines_[i], .value = intptr_t(i)});
  list_.relayout();
  repaint();
  return true;
}

void CBriskAccountInfo::rename() {
  const std::u16string name = rename_.text();
  if (name.empty()) {
    controls::CMsgBoxDlg::show(window(), u"请输入你的好友的屏显名称！", kCaption);
    return;
  }
  if (name == contact_show_name(id_)) return;  // nothing to change
  fx_set_buddyinfo(id_, utf16_to_utf8(name).c_str(), bridge::post_callback,
                   bridge::user_data(window()));
}

void CBriskAccountInfo::refresh() {
  if (fx_update_account_info_by_id(id_) == 0) return;
  tries_left_ = kRefreshTries;
  set_timer(kRefreshTimer, kRefreshPeriodMs);
}

void CBriskAccountInfo::on_timer(uintptr_t id) {
  if (id != kRefreshTimer) return;
  if (rebuild() || --tries_left_ <= 0) {
    tries_left_ = 0;
    kill_timer(kRefreshTimer);
  }
}

bool CBriskAccountInfo::on_engine(bridge::EngineMessage& m) {
  switch (m.code()) {
    case FX_MSG_LOCALNAME_SET:
      ++renames_confirmed_;
      rename_.clear();
      rebuild();
      return true;
    case FX_MSG_LOCALNAME_SET_FAILED:
      controls::CMsgBoxDlg::show(window(), u"修改好友屏显名称失败！", kCaption);
      return true;
    default:
      // A contact change forwarded here (80, a status): read the lines again.
      if (m.contact() == id_) rebuild();
      return true;
  }
}

void CBriskAccountInfo::on_command(int command) {
  switch (command) {
    case kRename:
      rename();
      break;
    case kRefresh:
      refresh();
      break;
    case kExit:
      end_modal(0);
      break;
  }
}

void CBriskAccountInfo::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  p.image(skin("TavrinActInfo.png"), kAvatar.left, kAvatar.top);
  p.text(u"请输入好友的新的屏显名称：", kPrompt, 24, t.bg_text_color,
         text::kLeft | text::kVCenter | text::kSingleLine);
  p.hline(kLines.top - 2, 0, 480, t.line_color);
}

}  // namespace tavrin::screens
