#include "screens/sms/CBriskScheduleSms.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "gfx/Painter.h"
#include "libtavrin.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "screens/sms/CBriskSetSchSms.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

using namespace platform;

namespace {

constexpr SoftKey kKeys[] = {{u"确定", 0, 120}, {u"删除", 180, 300}, {u"退出", 360, 480}};
constexpr int kTextRow = 70;

std::u16string decimal(long n) {
  return utf8_to_utf16(std::to_string(n));
}

// "接收人：%s（%ld）" for one receiver; the engine's text names it with a
// colon after the name, which the line does not want.
std::u16string receiver_line(const fx_account* a) {
  fx_list one{const_cast<fx_account*>(a), nullptr};
  std::u16string name;
  if (char* text = fx_covert_schedule_receiver_to_string(&one)) {
    name = utf8_to_utf16(text);
    std::free(text);
  }
  if (!name.empty() && name.back() == u':') name.pop_back();
  return u"接收人：" + name + u"（" + decimal(a->id) + u"）";
}

// The id column's caption: the send time's "MM-DD HH:MM", or the id when
// the time is not in the engine's "YYYY-MM-DD HH:MM:SS" form.
std::u16string list_caption(const fx_schedule_sms& sms) {
  const std::string time = sms.send_time ? sms.send_time : "";
  if (time.size() >= 16 && time[4] == '-' && time[10] == ' ')
    return utf8_to_utf16(time.substr(5, 5) + "\n" + time.substr(11, 5));
  return u"#" + decimal(sms.id);
}

// The engine's answer to a delete, on its thread: handed to the screen's
// window, which may be gone by then (the post is dropped).
void on_delete_answer(int code, intptr_t, intptr_t, void* user) {
  WindowSystem::post_to_instance(WindowId(reinterpret_cast<uintptr_t>(user)),
                                 CBriskScheduleSms::kDeleteAnswer, uintptr_t(code), 0);
}

}  // namespace

CBriskScheduleSms::CBriskScheduleSms(WindowId owner)
    : SmsScreen("CBriskScheduleSms", u"定时短信", owner) {}

CBriskScheduleSms::~CBriskScheduleSms() {
  destroy();
}

int CBriskScheduleSms::run_modal() {
  Screen::run_modal();
  destroy();
  return 0;
}

bool CBriskScheduleSms::on_create() {
  const int top = spec().rect.top;
  const controls::Rect ids = kIds.offset(0, top), details = kDetails.offset(0, top);
  id_list_.set_id(kIdsId);
  detail_list_.set_id(kDetailsId);
  if (!id_list_.create(window(), ids.left, ids.top, ids.right, ids.bottom) ||
      !detail_list_.create(window(), details.left, details.top, details.right, details.bottom))
    return false;
  id_list_.set_background(&surface(), {0, top});
  detail_list_.set_background(&surface(), {0, top});
  id_list_.set_tap_message(msg::kItemTapped, kIdsId);
  id_list_.set_row_painter(
      [](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r, bool selected) {
        const auto& t = shell::theme_colors();
        gfx::Painter p(c);
        if (selected) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
        // "MM-DD" over "HH:MM".
        const size_t cut = row.text.find(u'\n');
        if (cut == std::u16string::npos) {
          p.text(row.text, r, 30, t.list_text_color,
                 text::kCenter | text::kVCenter | text::kSingleLine);
        } else {
          const int mid = (r.top + r.bottom) / 2;
          p.text(row.text.substr(0, cut), {r.left, r.top, r.right, mid}, 24, t.list_text_color,
                 text::kCenter | text::kBottom | text::kSingleLine);
          p.text(row.text.substr(cut + 1), {r.left, mid, r.right, r.bottom}, 28, t.list_text_color,
                 text::kCenter | text::kSingleLine);
        }
        p.faded_hline(r.bottom - 1, r.left, r.right, t.list_line_color, 255, 30);
      });
  detail_list_.set_row_painter(
      [](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r, bool) {
        const auto& t = shell::theme_colors();
        gfx::Painter p(c);
        const bool text_row = row.height == kTextRow;
        p.text(row.text, {r.left + 8, r.top + 2, r.right - 8, r.bottom - 2}, text_row ? 26 : 24,
               t.list_text_color,
               text_row ? text::kLeft | text::kWordBreak
                        : text::kLeft | text::kVCenter | text::kSingleLine);
        p.faded_hline(r.bottom - 1, r.left, r.right, t.list_line_color, 255, 30);
      });
  refresh();
  return true;
}

void CBriskScheduleSms::on_destroy() {
  id_list_.destroy();
  detail_list_.destroy();
}

void CBriskScheduleSms::refresh() {
  ids_.clear();
  std::vector<std::u16string> captions;
  fx_lock_contacts();
  for (const fx_list* n = fx_data_get_smlist(); n; n = n->next)
    if (const auto* sms = static_cast<const fx_schedule_sms*>(n->data)) {
      ids_.push_back(sms->id);
      captions.push_back(list_caption(*sms));
    }
  fx_unlock_contacts();
  id_list_.clear();
  for (size_t i = 0; i < ids_.size(); ++i) id_list_.add_row({captions[i], ids_[i], 0});
  id_list_.relayout();
  if (chosen_ != 0 && std::find(ids_.begin(), ids_.end(), chosen_) == ids_.end()) {
    // The chosen one is gone: so are its details.
    chosen_ = 0;
    details_.clear();
    detail_list_.clear();
    detail_list_.relayout();
  }
}

bool CBriskScheduleSms::choose(int id) {
  std::vector<std::u16string> lines;
  fx_lock_contacts();
  if (const fx_schedule_sms* sms = fx_get_schedulesms_by_id(id)) {
    lines.push_back(sms->message ? utf8_to_utf16(sms->message) : std::u16string());
    lines.push_back(sms->send_time ? utf8_to_utf16(sms->send_time) : std::u16string());
    for (const fx_list* n = sms->receivers; n; n = n->next)
      if (const auto* a = static_cast<const fx_account*>(n->data))
        lines.push_back(receiver_line(a));
  }
  fx_unlock_contacts();
  if (lines.empty()) return false;
  chosen_ = id;
  details_ = std::move(lines);
  detail_list_.clear();
  for (size_t i = 0; i < details_.size(); ++i)
    detail_list_.add_row({details_[i], intptr_t(i), i == 0 ? kTextRow : 0});
  detail_list_.scroller().set_offset(0);
  detail_list_.relayout();
  return true;
}

void CBriskScheduleSms::open_editor() {
  CBriskSetSchSms editor(window());
  editor.run_modal();
  // What the editor stored is in the engine's list by now, or arrives later.
  refresh();
  repaint();
}

void CBriskScheduleSms::delete_chosen() {
  if (chosen_ == 0) {
    notice(u"请选择你要删除的定时短信！");
    return;
  }
  if (notice(u"确定删除这条定时短信吗？", controls::CMsgBoxDlg::kYesNo) != 1) return;
  if (!fx_delete_schedule_sms(chosen_, on_delete_answer,
                              reinterpret_cast<void*>(uintptr_t(window()))))
    notice(u"删除定时短信失败！");
}

void CBriskScheduleSms::on_stylus(StylusAction action, controls::Point screen) {
  for (controls::CScrollList* list : {&id_list_, &detail_list_}) {
    const bool taken = action == StylusAction::kDown   ? list->stylus_down(screen)
                       : action == StylusAction::kMove ? list->stylus_move(screen)
                                                       : list->stylus_up(screen);
    if (taken) return;
  }
  SmsScreen::on_stylus(action, screen);
}

void CBriskScheduleSms::on_tap(controls::Point screen) {
  const auto tap = controls::hit(kTaps, to_window(screen));
  if (!tap) return;
  switch (*tap) {
    case Tap::kSet:
      open_editor();
      break;
    case Tap::kRefresh:
      refresh();
      repaint();
      break;
    case Tap::kDelete:
      delete_chosen();
      break;
    case Tap::kClose:
      end_modal(0);
      break;
  }
}

bool CBriskScheduleSms::on_key(uint32_t key_code) {
  return key_code == key::kEscape;
}

intptr_t CBriskScheduleSms::on_screen_message(const Message& m) {
  if (m.id == msg::kListStep) {
    if (m.wparam == kIdsId) id_list_.inertia_step();
    if (m.wparam == kDetailsId) detail_list_.inertia_step();
  } else if (m.id == msg::kItemTapped && m.wparam == kIdsId) {
    choose(int(m.lparam));
  } else if (m.id == kDeleteAnswer) {
    refresh();
    repaint();
    notice(m.wparam == FX_MSG_SCHEDULE_SMS_DELETED ? u"删除定时短信成功！" : u"删除定时短信失败！");
  }
  return 0;
}

void CBriskScheduleSms::paint_page(gfx::Painter& p) {
  paint_button(p, kSetButton, u"设置定时短信");
  paint_button(p, kRefreshButton, u"刷新定时短信");
  paint_soft_keys(p, kKeys);
}

void CBriskScheduleSms::paint_children() {
  id_list_.relayout();
  detail_list_.relayout();
}

}  // namespace tavrin::screens
