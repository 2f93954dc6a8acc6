// The contacts the SMS screens offer, and the receivers chosen from them.
//
// The walk: the engine's contacts in order, under the contact store lock,
// leaving out those with status 75 (not yet accepted) or 76, ending at the
// user's own entry; contacts online in one of their forms (66, 67, 69, 70)
// go to the head of the list and the rest to its tail, so online contacts
// come first. Names are copied out, so nothing engine-owned outlives the
// walk. UI thread (the walk), any thread (ReceiverList).
#pragma once

#include <string>
#include <vector>

namespace tavrin::screens {

struct SmsContact {
  std::u16string name;
  int group_id = 0;
  long id = 0;
  int status = 0;
};

// Every contact when group is -1 or 999 (names with the mood text, the
// engine's flag 1), else the contacts of that buddy list (names alone).
std::vector<SmsContact> group_contacts(int group);
// Every contact, names alone (the scheduled-SMS editor).
std::vector<SmsContact> all_contacts();

// Receivers in the order they were chosen; a contact id occurs once.
class ReceiverList {
 public:
  // Appends a copy unless that contact is already a receiver; true when added.
  bool add(const SmsContact& contact);
  // Removes the receiver with that id; true when there was one.
  bool remove(long id);
  // Appends, in order, every contact not yet a receiver; how many were added.
  int add_all(const std::vector<SmsContact>& contacts);
  void clear() { items_.clear(); }
  const SmsContact* find(long id) const;
  const std::vector<SmsContact>& items() const { return items_; }
  size_t size() const { return items_.size(); }
  bool empty() const { return items_.empty(); }

 private:
  std::vector<SmsContact> items_;
};

}  // namespace tavrin::screens
