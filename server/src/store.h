// Store: the service's data in one SQLite file (or in memory for tests and
// fuzzing): the schema, and the account model every module shares.
// Contact lists, messages, SMS and groups are read and written by their
// modules through db(); the tables are all created here.
// Used only on the event-loop thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sqlite_db.h"

namespace tavrin::server {

struct Account {
  long number = 0;
  std::string mobile;
  std::string keyHex;  // MD5 of "number:domain:password"
  std::string nickname;
  std::string impresa;
  std::string name;
  int gender = 0;
  std::string profile;
  long score = 0;
  long refuseSmsDays = 0;
  bool echo = false;  // the demo's answering account
  bool disabled = false;  // set by the operator: logins are refused
  long created = 0;       // unix time the account was made (0: before this was kept)
};

class Store {
 public:
  Store(const std::string& path, std::string domain);

  Db& db() { return db_; }
  const std::string& domain() const { return domain_; }

  std::optional<Account> account(long number);
  std::optional<Account> accountByMobile(std::string_view mobile);
  // Creates or replaces an account; the password is kept only as the digest key.
  void putAccount(const Account& a, std::string_view password);
  bool checkPassword(const Account& a, std::string_view password) const;
  void setNickname(long number, std::string_view v);
  void setImpresa(long number, std::string_view v);
  void setRefuseSmsDays(long number, long days);
  bool empty();
  // Operator actions (tavrin-server account ...); the running server hears of
  // them through its control socket.
  void setDisabled(long number, bool disabled);
  void setPassword(long number, std::string_view password);
  // Deletes the account and everything that names it: its lists and
  // contacts, its place on others' lists and blacklists, its requests,
  // group memberships, schedules and the lines waiting for it (lines it
  // sent others stay theirs). One transaction; false when there was none.
  bool removeAccount(long number);

 private:
  Db db_;
  std::string domain_;
};

}  // namespace tavrin::server
