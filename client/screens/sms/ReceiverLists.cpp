#include "screens/sms/ReceiverLists.h"

#include "gfx/Painter.h"
#include "shell/theme_colors.h"

namespace tavrin::screens {

using namespace platform;

namespace {

bool online(int status) {
  return status == 66 || status == 67 || status == 69 || status == 70;
}

}  // namespace

bool ReceiverLists::create(WindowId owner, Rect contacts, Rect receivers, gfx::CSurface* page,
                           Point page_origin, const gfx::CSkinImage* in_out) {
  in_out_ = in_out;
  contact_list_.set_id(kContactsId);
  receiver_list_.set_id(kReceiversId);
  if (!contact_list_.create(owner, contacts.left, contacts.top, contacts.right, contacts.bottom) ||
      !receiver_list_.create(owner, receivers.left, receivers.top, receivers.right,
                             receivers.bottom))
    return false;
  contact_list_.set_background(page, page_origin);
  receiver_list_.set_background(page, page_origin);
  contact_list_.set_tap_message(msg::kItemTapped, kContactsId);
  receiver_list_.set_tap_message(msg::kItemTapped, kReceiversId);

  contact_list_.set_row_painter([this](gfx::PixelCanvas& c, const controls::ListRow& row,
                                       const gfx::Rect& r, bool) {
    const auto& t = shell::theme_colors();
    gfx::Painter p(c);
    const size_t i = size_t(row.value);
    const bool chosen = i < contacts_.size() && receivers_.find(contacts_[i].id);
    if (chosen) p.fill_rect(r, t.list_bk_color, t.list_bg_alpha);
    const bool on = i < contacts_.size() && online(contacts_[i].status);
    p.fill_rounded({r.left + 12, r.top + 22, r.left + 28, r.top + 38}, on ? 0x3CC85A : 0x9A9A9A);
    // A name too long for its row (with its mood text) ends in "…".
    // A chosen row's shade may be close to the list's ink: the ink reads on it.
    const gfx::Rect name{r.left + 40, r.top, r.right - 60, r.bottom};
    p.text(row.text, name, 26, chosen ? p.legible(t.list_text_color, name) : t.list_text_color,
           text::kLeft | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
    if (in_out_) {
      const gfx::Rect cell{0, 0, 48, 48};
      p.image(*in_out_, r.right - 54, r.top + 6, &cell);
    }
    p.faded_hline(r.bottom - 1, r.left, r.right, t.list_line_color, 255, 30);
  });
  receiver_list_.set_row_painter(
      [](gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r, bool) {
        const auto& t = shell::theme_colors();
        gfx::Painter p(c);
        const gfx::Rect chip{r.left + 4, r.top + 6, r.right - 4, r.bottom - 6};
        p.fill_rounded(chip, t.btn_bk_color, t.btn_bg_alpha);
        p.draw_rounded_frame(chip, 0xFFFFFF, 128);
        // A name too long for the chip shows its start and "…".
        p.text(row.text, chip.inset(4), 22, t.btn_text_color,
               text::kCenter | text::kVCenter | text::kSingleLine | text::kEndEllipsis);
      });
  return true;
}

void ReceiverLists::destroy() {
  contact_list_.destroy();
  receiver_list_.destroy();
}

void ReceiverLists::set_contacts(std::vector<SmsContact> contacts) {
  contacts_ = std::move(contacts);
  contact_list_.clear();
  for (size_t i = 0; i < contacts_.size(); ++i)
    contact_list_.add_row({contacts_[i].name, intptr_t(i), 0});
  contact_list_.relayout();
}

bool ReceiverLists::add(size_t contact_index) {
  if (contact_index >= contacts_.size() || !receivers_.add(contacts_[contact_index])) return false;
  rebuild_receivers();
  return true;
}

bool ReceiverLists::remove(long id) {
  if (!receivers_.remove(id)) return false;
  rebuild_receivers();
  return true;
}

void ReceiverLists::select_all() {
  if (receivers_.add_all(contacts_) > 0) rebuild_receivers();
}

void ReceiverLists::clear() {
  receivers_.clear();
  rebuild_receivers();
}

void ReceiverLists::rebuild_receivers() {
  receiver_list_.clear();
  for (const auto& r : receivers_.items()) receiver_list_.add_row({r.name, intptr_t(r.id), 0});
  receiver_list_.relayout();
  contact_list_.paint();  // chosen contacts are marked
}

bool ReceiverLists::on_message(const Message& m) {
  if (m.id == msg::kListStep) {
    if (m.wparam == kContactsId)
      contact_list_.inertia_step();
    else if (m.wparam == kReceiversId)
      receiver_list_.inertia_step();
    else
      return false;
    return true;
  }
  if (m.id != msg::kItemTapped) return false;
  if (m.wparam == kContactsId) {
    add(size_t(m.lparam));
    return true;
  }
  if (m.wparam == kReceiversId) {
    remove(long(m.lparam));
    return true;
  }
  return false;
}

bool ReceiverLists::stylus(StylusAction action, Point p) {
  bool taken = false;
  for (controls::CScrollList* list : {&contact_list_, &receiver_list_})
    taken |= list->stylus(action, p);
  return taken;
}

void ReceiverLists::paint() {
  contact_list_.relayout();
  receiver_list_.relayout();
}

}  // namespace tavrin::screens
