// ReceiverLists: the contact list and the receiver column of the group-SMS
// screen and the scheduled-SMS editor. A tap on a contact appends it to the
// receivers unless it is there already; a tap on a receiver removes it;
// select_all() appends every contact not yet chosen, in list order;
// clear() empties the receivers. Both are kinetic lists with 60-pixel
// rows; the owner passes them its stylus, its kItemTapped and kListStep
// messages, and lets them paint after its own surface. UI thread only.
#pragma once

#include <vector>

#include "controls/CScrollList.h"
#include "gfx/CSkinImage.h"
#include "gfx/CSurface.h"
#include "platform/window_system.h"
#include "screens/sms/SmsContacts.h"

namespace tavrin::screens {

class ReceiverLists {
 public:
  static constexpr uintptr_t kContactsId = 21, kReceiversId = 22;
  static constexpr int kRowHeight = 60;

  // Rectangles in display coordinates; page: the owner's surface whose
  // top-left lies at page_origin; in_out: "TavrinInOut.png".
  bool create(platform::WindowId owner, platform::Rect contacts, platform::Rect receivers,
              gfx::CSurface* page, platform::Point page_origin, const gfx::CSkinImage* in_out);
  void destroy();

  void set_contacts(std::vector<SmsContact> contacts);
  const std::vector<SmsContact>& contacts() const { return contacts_; }
  const ReceiverList& receivers() const { return receivers_; }

  // The receiver editing, by hand or by the lists' taps.
  bool add(size_t contact_index);
  bool remove(long id);
  void select_all();
  void clear();

  // True when the message or the stylus was the lists'.
  bool on_message(const platform::Message& m);
  bool stylus(platform::StylusAction action, platform::Point p);
  void paint();

 private:
  void rebuild_receivers();

  controls::CScrollList contact_list_{kRowHeight}, receiver_list_{kRowHeight};
  std::vector<SmsContact> contacts_;
  ReceiverList receivers_;
  const gfx::CSkinImage* in_out_ = nullptr;
};

}  // namespace tavrin::screens
