// What the main window copies out of the engine's contact store: the buddy
// lists, the contacts in store order (the walk stops at the user's own
// entry), one contact by id, and the user's own header data. Every read
// takes the store lock and copies, so nothing engine-owned is kept.
// UI thread (the engine's records are read only there).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin::mainwnd {

struct ContactRecord {
  uint32_t id = 0;
  int group_id = 0;     // the first buddy list; none (negative) is 0
  std::u16string name;  // display name
  int status = 68;      // below 66 stored as 68
  bool mobile = false;  // online and signed in from a handset
};

struct BuddyList {
  int id = 0;
  std::u16string name;
};

struct StoreSnapshot {
  std::vector<BuddyList> lists;
  std::vector<ContactRecord> contacts;
};

struct OwnInfo {
  std::u16string nickname;
  std::u16string mood;
  long number = 0;
  int state = 66;
};

StoreSnapshot read_store();
// The contact as the tree shows it; nullopt for an id the store lacks.
std::optional<ContactRecord> read_contact(long id);
OwnInfo read_own();

// The status a tree item keeps: below 66 counts as offline (68).
inline int stored_status(int status) {
  return status < 66 ? 68 : status;
}
// 66, 67, 69 and 70 count as online in the sections' counts.
inline bool counts_online(int status) {
  return status == 66 || status == 67 || status == 69 || status == 70;
}

}  // namespace tavrin::mainwnd
