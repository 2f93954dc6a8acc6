#include "bridge/EngineMessages.h"

#include <array>
#include <cstdlib>

namespace tavrin::bridge {

namespace {

using C = Carries;

struct Row {
  int code;
  std::string_view name;
  Carries p1 = C::kNumber;
  Carries p2 = C::kNumber;
};

// One row per code a front end receives. The engine's internal codes (3, 9,
// 12, 145, 147, 242) never leave it and have none; 66..74 are one range.
constexpr Row kRows[] = {
    {FX_MSG_LOGIN_CONNECTED, "login-connected"},
    {FX_MSG_LOGIN_CHALLENGED, "login-challenged"},
    {FX_MSG_LOGIN_WRONG_PASSWORD, "login-wrong-password"},
    {FX_MSG_LOGIN_FAILED, "login-failed"},
    {FX_MSG_LOGIN_BAD_REQUEST, "login-bad-request"},
    {FX_MSG_LOGIN_NOT_FOUND, "login-not-found"},
    {FX_MSG_LOGIN_REGISTERED, "login-registered"},
    {FX_MSG_CONTACTS_LOAD_FAILED, "contacts-load-failed"},
    {FX_MSG_LOGIN_CONTACTS_LOADED, "login-contacts-loaded"},
    {FX_MSG_LOGIN_OK, "login-ok"},
    {FX_MSG_CHAT_MESSAGE, "chat", C::kTransientText},
    {FX_MSG_CHAT_MESSAGE_SO, "chat-group", C::kTransientText},
    {FX_MSG_NUDGE, "nudge"},
    {FX_MSG_SMS_OK, "sms sent", C::kRecordGiven},
    {FX_MSG_SMS_FAILED, "sms failed", C::kRecordGiven},
    {FX_MSG_SMS_TIMEOUT, "sms not answered", C::kRecordKept},
    {FX_MSG_SMS_REFUSED, "sms refused", C::kRecordGiven},
    {FX_MSG_DIALOG_TRYING, "dialog-trying"},
    {FX_MSG_DIALOG_OPEN, "dialog-open"},
    {FX_MSG_DIALOG_REFUSED, "dialog-refused"},
    {FX_MSG_CHAT_SENT, "delivered", C::kRecordGiven},
    {FX_MSG_CHAT_SEND_FAILED, "not delivered", C::kRecordGiven},
    {FX_MSG_CHAT_SEND_TIMEOUT, "not answered", C::kRecordKept},
    {FX_MSG_CONTACT_REFUSE_SMS_DAYS, "refuse-sms-days"},
    {FX_MSG_CONTACT_CHANGED, "contact-changed"},
    {FX_MSG_BUDDYLIST_ADDED, "list added", C::kTextGiven},
    {FX_MSG_BUDDYLIST_ADD_FAILED, "list not added", C::kTextGiven},
    {FX_MSG_BUDDYLIST_DELETED, "list deleted", C::kTextGiven},
    {FX_MSG_BUDDYLIST_DELETE_FAILED, "list not deleted", C::kTextGiven},
    {FX_MSG_BUDDYLIST_RENAMED, "list renamed", C::kTextGiven},
    {FX_MSG_BUDDYLIST_RENAME_FAILED, "list not renamed", C::kTextGiven},
    {FX_MSG_LOCALNAME_SET, "name set", C::kTextGiven},
    {FX_MSG_LOCALNAME_SET_FAILED, "name not set", C::kTextGiven},
    {FX_MSG_CONTACT_REQUEST, "contact-request", C::kTextGiven, C::kTextGiven},
    {FX_MSG_ADD_BUDDY_RESULT, "contact added"},
    {FX_MSG_SOCKET_ERROR, "socket-error"},
    {FX_MSG_DEREGISTERED, "deregistered"},
    {FX_MSG_STATE_SET, "status set"},
    {FX_MSG_STATE_SET_FAILED, "status not set"},
    {FX_MSG_STATE_SET_TIMEOUT, "status not answered"},
    {FX_MSG_IMPRESA_SET, "mood set"},
    {FX_MSG_IMPRESA_SET_FAILED, "mood not set"},
    {FX_MSG_NICKNAME_SET, "nickname set"},
    {FX_MSG_NICKNAME_SET_FAILED, "nickname not set"},
    {FX_MSG_REFUSE_SMS_DAY_SET, "refuse-sms days set"},
    {FX_MSG_REFUSE_SMS_DAY_SET_FAILED, "refuse-sms days not set"},
    {FX_MSG_BLACKLIST_ADDED, "blocked"},
    {FX_MSG_BLACKLIST_ADD_FAILED, "not blocked"},
    {FX_MSG_BLACKLIST_REMOVED, "unblocked"},
    {FX_MSG_BLACKLIST_REMOVE_FAILED, "not unblocked"},
    {FX_MSG_SCHEDULE_SMS_NOT_STORED, "scheduled sms not stored"},
    {FX_MSG_SCHEDULE_SMS_STORED, "scheduled sms stored"},
    {FX_MSG_SCHEDULE_SMS_NOT_DELETED, "scheduled sms not deleted"},
    {FX_MSG_SCHEDULE_SMS_DELETED, "scheduled sms deleted"},
    {FX_MSG_BUDDY_DELETED, "contact deleted"},
    {FX_MSG_BUDDY_DELETE_FAILED, "contact not deleted"},
    {FX_MSG_BUDDY_MOVED, "contact moved"},
    {FX_MSG_BUDDY_MOVE_FAILED, "contact not moved"},
    {FX_MSG_FILE_OFFER, "file-offer", C::kFileOffer},
    {FX_MSG_DIALOG_INVITED, "dialog-invited"},
    {FX_MSG_QUN_LIST_FAILED, "group-list-failed"},
    {FX_MSG_QUN_CHAT_SENT, "group line delivered", C::kRecordGiven},
    {FX_MSG_QUN_CHAT_SEND_TIMEOUT, "group line not answered", C::kRecordKept},
    {FX_MSG_QUN_CHAT_SEND_FAILED, "group line not delivered", C::kRecordGiven},
    {FX_MSG_QUN_SMS_OK, "group sms sent", C::kRecordGiven},
    {FX_MSG_QUN_SMS_TIMEOUT, "group sms not answered", C::kRecordKept},
    {FX_MSG_QUN_SMS_FAILED, "group sms failed", C::kRecordGiven},
    {FX_MSG_QUN_SMS_REFUSED, "group sms refused", C::kRecordGiven},
    {FX_MSG_NAV_BAD_ID, "nav-bad-id"},
    {FX_MSG_SCHEDULE_SMS_LIST_OK, "schedule-list-ok"},
    {FX_MSG_SCHEDULE_SMS_LIST_FAILED, "schedule-list-failed"},
};

// Every code the engine sends is below this.
constexpr int kCodeLimit = 256;

constexpr bool rows_fit_and_differ() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (kRows[i].code <= 0 || kRows[i].code >= kCodeLimit) return false;
    for (size_t j = i + 1; j < std::size(kRows); ++j)
      if (kRows[i].code == kRows[j].code) return false;
  }
  return true;
}
static_assert(rows_fit_and_differ(), "a message code has two rows or lies outside the index");

// The rows indexed by code, built once at compile time.
constexpr std::array<CodeInfo, kCodeLimit> index_rows() {
  std::array<CodeInfo, kCodeLimit> by_code{};
  for (int code = FX_MSG_STATUS_FIRST; code <= FX_MSG_STATUS_LAST; ++code)
    by_code[size_t(code)].name = "status";
  for (const Row& r : kRows) by_code[size_t(r.code)] = CodeInfo{r.p1, r.p2, r.name};
  return by_code;
}
constexpr std::array<CodeInfo, kCodeLimit> kByCode = index_rows();

}  // namespace

CodeInfo describe(int code) {
  return code >= 0 && code < kCodeLimit ? kByCode[size_t(code)] : CodeInfo{};
}

bool is_send_result(int code) {
  const Carries p1 = describe(code).p1;
  return p1 == Carries::kRecordGiven || p1 == Carries::kRecordKept;
}

bool is_send_timeout(int code) {
  return describe(code).p1 == Carries::kRecordKept;
}

bool is_login_failure(int code) {
  switch (code) {
    case FX_MSG_LOGIN_WRONG_PASSWORD:
    case FX_MSG_LOGIN_FAILED:
    case FX_MSG_LOGIN_BAD_REQUEST:
    case FX_MSG_LOGIN_NOT_FOUND:
    case FX_MSG_CONTACTS_LOAD_FAILED:
    case FX_MSG_QUN_LIST_FAILED:
    case FX_MSG_NAV_BAD_ID:
      return true;
    default:
      return false;
  }
}

namespace {

void release_word(Carries what, intptr_t word) {
  if (word == 0) return;
  switch (what) {
    case Carries::kRecordGiven:
      fx_destroy_msg(reinterpret_cast<fx_msg*>(word));
      break;
    case Carries::kTextGiven:
      std::free(reinterpret_cast<char*>(word));
      break;
    case Carries::kFileOffer: {
      auto* offer = reinterpret_cast<fx_file_offer*>(word);
      for (char* s : {offer->file_id, offer->session_id, offer->url, offer->name, offer->md5,
                      offer->transfer_type})
        std::free(s);
      std::free(offer);
      break;
    }
    default:
      break;
  }
}

}  // namespace

void release(int code, intptr_t p1, intptr_t p2) {
  const CodeInfo info = describe(code);
  release_word(info.p1, p1);
  release_word(info.p2, p2);
}

EngineMessage& EngineMessage::operator=(EngineMessage&& o) noexcept {
  if (this != &o) {
    reset();
    code_ = std::exchange(o.code_, 0);
    p1_ = std::exchange(o.p1_, 0);
    p2_ = std::exchange(o.p2_, 0);
  }
  return *this;
}

const fx_msg* EngineMessage::record() const {
  return is_send_result(code_) ? reinterpret_cast<const fx_msg*>(p1_) : nullptr;
}

std::string EngineMessage::text() const {
  const Carries p1 = describe(code_).p1;
  if ((p1 == Carries::kTextGiven || p1 == Carries::kTransientText) && p1_ != 0)
    return reinterpret_cast<const char*>(p1_);
  return {};
}

std::string EngineMessage::text2() const {
  if (describe(code_).p2 == Carries::kTextGiven && p2_ != 0)
    return reinterpret_cast<const char*>(p2_);
  return {};
}

const fx_file_offer* EngineMessage::file_offer() const {
  return describe(code_).p1 == Carries::kFileOffer ? reinterpret_cast<const fx_file_offer*>(p1_)
                                                   : nullptr;
}

intptr_t EngineMessage::take_p1() {
  return std::exchange(p1_, 0);
}

void EngineMessage::reset() {
  release(code_, p1_, p2_);
  code_ = 0;
  p1_ = p2_ = 0;
}

}  // namespace tavrin::bridge
