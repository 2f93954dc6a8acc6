#include "bridge/EngineMessages.h"

#include <cstdlib>
#include <cstring>

namespace tavrin::bridge {

CodeInfo describe(int code) {
  return tavrin::message_words(code);
}

bool is_send_result(int code) {
  return tavrin::send_outcome(code) != Outcome::kNone;
}

bool is_send_timeout(int code) {
  return tavrin::send_outcome(code) == Outcome::kNoAnswer;
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

char* copy_text(const char* text) {
  return text ? strdup(text) : nullptr;
}

}  // namespace

fx_msg* copy_kept_record(const fx_msg* record) {
  if (record == nullptr) return nullptr;
  auto* copy = static_cast<fx_msg*>(std::calloc(1, sizeof(fx_msg)));
  if (copy == nullptr) return nullptr;
  copy->contact_id = record->contact_id;
  copy->text = copy_text(record->text);
  copy->content_type = copy_text(record->content_type);
  copy->date = copy_text(record->date);
  copy->source_id = record->source_id;
  return copy;
}

void release(int code, intptr_t p1, intptr_t p2) {
  tavrin::release_message(code, p1, p2);
}

void release_posted(int code, intptr_t p1, intptr_t p2) {
  if (describe(code).p1 == Carries::kRecordKept && p1 != 0) {
    auto* copy = reinterpret_cast<fx_msg*>(p1);
    for (char* text : {copy->text, copy->content_type, copy->date}) std::free(text);
    std::free(copy);
  }
  release(code, p1, p2);
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
  release_posted(code_, p1_, p2_);
  code_ = 0;
  p1_ = p2_ = 0;
}

}  // namespace tavrin::bridge
