#include "admin/account_admin.h"

#include "sipc_message.h"
#include "uri.h"

namespace tavrin::server {

namespace {

constexpr size_t kMaxNickname = 64;   // bytes of UTF-8
constexpr size_t kMaxPassword = 128;  // bytes

bool hasControl(const std::string& s) {
  for (unsigned char ch : s)
    if (ch < 0x20 || ch == 0x7f) return true;
  return false;
}

// Well-formed UTF-8 (no overlong forms or surrogates): nicknames travel in
// XML to every contact, where a broken sequence would spoil the document.
bool validUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = 0;
    unsigned long cp = 0;
    if ((c >> 5) == 6) {
      n = 1, cp = c & 0x1f;
    } else if ((c >> 4) == 14) {
      n = 2, cp = c & 0x0f;
    } else if ((c >> 3) == 30) {
      n = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (s.size() - i <= n) return false;
    for (size_t k = 1; k <= n; ++k) {
      const unsigned char cc = s[i + k];
      if ((cc & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3f);
    }
    if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
        cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
      return false;
    i += n + 1;
  }
  return true;
}

bool taken(Db& db, const char* sql, long number, const std::string& text) {
  Stmt& q = db.sql(sql);
  if (text.empty())
    q.bind(1, number);
  else
    q.bind(1, text);
  const bool yes = q.step();
  q.reset();
  return yes;
}

}  // namespace

std::string checkPassword(const std::string& password) {
  if (password.empty()) return "the password is empty";
  if (password.size() > kMaxPassword)
    return "the password is longer than " + std::to_string(kMaxPassword) + " bytes";
  if (hasControl(password)) return "the password holds a control character";
  if (!validUtf8(password)) return "the password is not UTF-8 text";
  return {};
}

std::string checkNewAccount(const NewAccount& a) {
  if (a.number != 0 && !isTavrinNumber(a.number))
    return "the number must have 9 digits (100000000 to 999999999)";
  if (!isMobileNumber(a.mobile)) return "the mobile number must be 11 digits starting with 1";
  if (a.nickname.empty()) return "the nickname is empty";
  if (a.nickname.size() > kMaxNickname)
    return "the nickname is longer than " + std::to_string(kMaxNickname) + " bytes";
  if (hasControl(a.nickname)) return "the nickname holds a control character";
  if (!validUtf8(a.nickname)) return "the nickname is not UTF-8 text";
  return checkPassword(a.password);
}

long AccountAdmin::nextFreeNumber() {
  Db& db = store_.db();
  Stmt& top = db.sql("SELECT max(number) FROM accounts WHERE number BETWEEN ? AND ?");
  top.bind(1, 100000000LL).bind(2, 999999999LL);
  top.step();
  const long highest = long(top.integer(0));
  top.reset();
  if (highest == 0) return 100000001;
  if (highest < 999999999) return highest + 1;
  // The top is taken: the first gap from below.
  Stmt& gap = db.sql(
      "SELECT a.number + 1 FROM accounts a WHERE a.number BETWEEN 100000000 AND 999999998 "
      "AND NOT EXISTS (SELECT 1 FROM accounts b WHERE b.number = a.number + 1) "
      "ORDER BY a.number LIMIT 1");
  const long found = gap.step() ? long(gap.integer(0)) : 0;
  gap.reset();
  return found;
}

std::string AccountAdmin::add(NewAccount& a) {
  if (std::string why = checkNewAccount(a); !why.empty()) return why;
  Db& db = store_.db();
  if (a.number == 0) {
    a.number = nextFreeNumber();
    if (a.number == 0) return "every 9-digit number is taken";
  } else if (taken(db, "SELECT 1 FROM accounts WHERE number=?", a.number, {})) {
    return "the number " + std::to_string(a.number) + " is taken";
  }
  if (taken(db, "SELECT 1 FROM accounts WHERE mobile=?", 0, a.mobile))
    return "the mobile number " + a.mobile + " belongs to another account";
  Account account;
  account.number = a.number;
  account.mobile = a.mobile;
  account.nickname = a.nickname;
  store_.putAccount(account, a.password);
  for (const DefaultList& l : kDefaultBuddyLists)
    db.sql("INSERT OR REPLACE INTO buddy_lists(owner, id, name) VALUES(?,?,?)")
        .bind(1, a.number)
        .bind(2, l.id)
        .bind(3, std::string_view(l.name))
        .run();
  return {};
}

std::vector<Account> AccountAdmin::list() {
  std::vector<Account> out;
  Stmt& q = store_.db().sql("SELECT number FROM accounts ORDER BY number");
  std::vector<long> numbers;
  while (q.step()) numbers.push_back(long(q.integer(0)));
  for (long n : numbers)
    if (auto a = store_.account(n)) out.push_back(std::move(*a));
  return out;
}

std::optional<AccountDetails> AccountAdmin::show(long number) {
  auto a = store_.account(number);
  if (!a) return std::nullopt;
  AccountDetails d;
  d.account = std::move(*a);
  auto count = [&](const char* sql) {
    Stmt& q = store_.db().sql(sql);
    q.bind(1, number);
    q.step();
    const long n = long(q.integer(0));
    q.reset();
    return n;
  };
  d.contacts = count("SELECT count(*) FROM buddies WHERE owner=?") +
               count("SELECT count(*) FROM mobile_buddies WHERE owner=?");
  d.buddyLists = count("SELECT count(*) FROM buddy_lists WHERE owner=?");
  d.offlineLines = count("SELECT count(*) FROM offline_messages WHERE recipient=?");
  d.offlineBytes = count(
      "SELECT ifnull(sum(length(CAST(body AS BLOB))), 0) FROM offline_messages WHERE recipient=?");
  d.groups = count("SELECT count(*) FROM group_members WHERE member=?");
  return d;
}

std::optional<Account> AccountAdmin::find(const std::string& numberOrMobile) {
  long n = 0;
  if (numberOrMobile.size() == 9 && parseLong(numberOrMobile, n)) return store_.account(n);
  if (isMobileNumber(numberOrMobile)) return store_.accountByMobile(numberOrMobile);
  return std::nullopt;
}

}  // namespace tavrin::server
