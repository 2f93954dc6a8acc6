#include "screens/contacts/CBriskAccountInfo.h"

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "controls/GbText.h"
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

constexpr char16_t kTooLongHint[] = u"名称过长，只保存前32字节";
constexpr uint32_t kWarningColour = 0x4040FF;  // red

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
               text::kLeft | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
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
  // The box takes more than is kept, so that a longer name is seen and
  // said before it is sent, not cut silently under the fingers.
  rename_.create(window(), kRenameBox, kRenameBoxBytes);
  rename_.set_on_change([this] {
    if (name_too_long() != too_long_shown_) repaint();
  });
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

bool CBriskAccountInfo::name_too_long() const {
  return rename_.text_bytes().size() > kKeptNameBytes;
}

std::u16string CBriskAccountInfo::kept_name() const {
  return gb2312_to_utf16(std::string(controls::gb::fit(rename_.text_bytes(), kKeptNameBytes)));
}

void CBriskAccountInfo::rename() {
  if (rename_.text().empty()) {
    controls::CMsgBoxDlg::show(window(), u"请输入你的好友的屏显名称！", kCaption);
    return;
  }
  const std::u16string name = kept_name();
  if (name_too_long() &&
      controls::CMsgBoxDlg::show(window(), u"名称过长，将只保存“" + name + u"”，是否修改？",
                                 kCaption, controls::CMsgBoxDlg::kTwoButtons) != 1)
    return;
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
  too_long_shown_ = name_too_long();
  if (too_long_shown_)
    p.text(kTooLongHint, kPrompt, 22, p.legible(kWarningColour, kPrompt),
           text::kLeft | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
  else
    p.text(u"请输入好友的新的屏显名称：", kPrompt, 24, t.bg_text_color,
           text::kLeft | text::kVCenter | text::kSingleLine);
  p.hline(kLines.top - 2, 0, 480, t.line_color);
}

}  // namespace tavrin::screens
