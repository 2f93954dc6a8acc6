// AccountAdmin: the operator's account operations on a Store, shared by the
// `tavrin-server account` commands and the CSV import. It checks what it is
// given and says why it refuses, in words an operator can act on; it never
// talks to the running server (the command does that after committing).
// One thread: the command's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store.h"

namespace tavrin::server {

struct NewAccount {
  long number = 0;  // 0: the next free Tavrin number
  std::string mobile;
  std::string nickname;
  std::string password;
};

// Why the fields cannot make an account (empty when they can). Numbers and
// mobiles already taken are the store's to say (AccountAdmin::add).
std::string checkNewAccount(const NewAccount& a);
// Why a password cannot be used (empty when it can).
std::string checkPassword(const std::string& password);

struct AccountDetails {
  Account account;
  long contacts = 0;     // on its buddy list
  long buddyLists = 0;
  long offlineLines = 0;  // waiting for it
  long offlineBytes = 0;
  long groups = 0;
};

class AccountAdmin {
 public:
  explicit AccountAdmin(Store& store) : store_(store) {}
  // Creates the account with the default buddy lists; sets a.number when
  // it was 0. Empty on success, else why not. Runs in the caller's
  // transaction when there is one.
  std::string add(NewAccount& a);
  // The lowest free number above every account's, or a gap below when the
  // top is reached; 0 when every 9-digit number is taken.
  long nextFreeNumber();
  std::vector<Account> list();
  std::optional<AccountDetails> show(long number);
  // An account by its 9-digit number or its 11-digit mobile number.
  std::optional<Account> find(const std::string& numberOrMobile);

 private:
  Store& store_;
};

// The default buddy lists every new account gets (id, name).
struct DefaultList {
  int id;
  const char* name;
};
inline constexpr DefaultList kDefaultBuddyLists[] = {{1, "我的好友"}, {2, "同事"}};

}  // namespace tavrin::server
