#include "bridge/EngineMessages.h"

namespace tavrin::bridge {

CodeInfo describe(int code) {
  return tavrin::message_words(code);
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

void release(int code, intptr_t p1, intptr_t p2) {
  tavrin::release_message(code, p1, p2);
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
