// The contact store: the public fx_contact_data lists (buddy lists,
// contacts, blacklist, group chats) plus indexes beside them, so that finding
// a contact, a blocked entry or a group chat by id is O(1) and loading n
// contacts costs O(n). Lists keep their server/arrival order; the client
// walks them directly.
//
// Ownership: the store owns every node and record of its lists; removing or
// replacing frees them. Threads: the store has no lock of its own. A store
// being built (by a parser) belongs to its builder; once installed in the
// engine (EngineContacts) it is read and changed only under the store lock.
//
// Id 0 (a uri without a number) is never found by id: such records are kept
// in the lists but not indexed, so adding one never replaces another.
#pragma once

#include <memory>
#include <unordered_map>

#include "libtavrin.h"
#include "roster/list_chain.h"
#include "roster/records.h"

namespace tavrin::contacts {

class ContactStore : public fx_contact_data {
 public:
  ContactStore();
  ~ContactStore();
  ContactStore(const ContactStore&) = delete;
  ContactStore& operator=(const ContactStore&) = delete;

  // The store behind a public fx_contact_data that the engine installed.
  static ContactStore* from(fx_contact_data* data) { return static_cast<ContactStore*>(data); }

  fx_account* account_by_id(long id) const;
  fx_qun* qun_by_id(long id) const;
  fx_group* group_by_id(int id) const;
  fx_blocked* blocked_by_id(long id) const;
  bool blacklisted(long id) const { return blocked_by_id(id) != nullptr; }
  // Uri of the account with the id, else of the group chat, else nullptr.
  const char* uri_of(long id) const;

  // Sizes the account index for n more accounts (a whole list arriving).
  void reserve_accounts(std::size_t n) { accounts_by_id_.reserve(accounts_by_id_.size() + n); }

  // Removes any account with the same id, appends a copy (personal info not
  // copied) and counts the addition. Returns the stored account.
  fx_account* add_account(const fx_account& src);
  // The same for a record the caller hands over (parsers: no copy).
  fx_account* adopt_account(AccountPtr account);
  // Removes and frees the account with the id; false when there is none.
  bool remove_account(long id);

  fx_group* add_group(const fx_group& src);  // appends a copy
  fx_group* adopt_group(GroupPtr group);
  bool remove_group(int id);

  fx_blocked* add_blocked(const fx_blocked& src);  // appends a copy
  fx_blocked* adopt_blocked(BlockedPtr blocked);
  bool remove_blocked(long id);

  // The group-chat list becomes quns (ownership passes); the old one is freed.
  void set_quns(fx_list* quns);

  // The single account cursor of the client's walk (fx_get_first_account,
  // fx_get_next_account). next_account never reads *after: a stale pointer
  // is compared, not followed.
  fx_account* first_account();
  fx_account* next_account(const fx_account* after);

 private:
  struct Slot {
    fx_list* node;
    fx_list* prev;  // predecessor in the account list, for O(1) unlinking
  };

  fx_list* accounts_tail_ = nullptr;
  fx_list* groups_tail_ = nullptr;
  fx_list* blacklist_tail_ = nullptr;
  std::unordered_map<long, Slot> accounts_by_id_;     // ids are unique among accounts
  std::unordered_map<long, fx_list*> blocked_by_id_;  // first entry of each id
  std::unordered_map<long, fx_qun*> quns_by_id_;      // first group chat of each id
  fx_list* cursor_ = nullptr;
};

}  // namespace tavrin::contacts
