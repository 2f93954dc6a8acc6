#include "frame/message_words.h"

#include <cstdlib>

namespace tavrin {

MessageWords message_words(int code) {
  switch (code) {
    case FX_MSG_CHAT_MESSAGE:
    case FX_MSG_CHAT_MESSAGE_SO:
      return {Carries::kTransientText, Carries::kNumber};
    case FX_MSG_SMS_OK:
    case FX_MSG_SMS_FAILED:
    case FX_MSG_SMS_REFUSED:
    case FX_MSG_CHAT_SENT:
    case FX_MSG_CHAT_SEND_FAILED:
    case FX_MSG_QUN_CHAT_SENT:
    case FX_MSG_QUN_CHAT_SEND_FAILED:
    case FX_MSG_QUN_SMS_OK:
    case FX_MSG_QUN_SMS_FAILED:
    case FX_MSG_QUN_SMS_REFUSED:
      return {Carries::kRecordGiven, Carries::kNumber};
    case FX_MSG_SMS_TIMEOUT:
    case FX_MSG_CHAT_SEND_TIMEOUT:
    case FX_MSG_QUN_CHAT_SEND_TIMEOUT:
    case FX_MSG_QUN_SMS_TIMEOUT:
      return {Carries::kRecordKept, Carries::kNumber};
    case FX_MSG_BUDDYLIST_ADDED:
    case FX_MSG_BUDDYLIST_ADD_FAILED:
    case FX_MSG_BUDDYLIST_DELETED:
    case FX_MSG_BUDDYLIST_DELETE_FAILED:
    case FX_MSG_BUDDYLIST_RENAMED:
    case FX_MSG_BUDDYLIST_RENAME_FAILED:
    case FX_MSG_LOCALNAME_SET:
    case FX_MSG_LOCALNAME_SET_FAILED:
      return {Carries::kTextGiven, Carries::kNumber};
    case FX_MSG_CONTACT_REQUEST:
      return {Carries::kTextGiven, Carries::kTextGiven};
    case FX_MSG_FILE_OFFER:
      return {Carries::kFileOffer, Carries::kNumber};
    default:
      return {};
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
    case Carries::kFileOffer:
      free_file_offer(reinterpret_cast<fx_file_offer*>(word));
      break;
    default:
      break;
  }
}

}  // namespace

void release_message(int code, intptr_t p1, intptr_t p2) {
  const MessageWords words = message_words(code);
  release_word(words.p1, p1);
  release_word(words.p2, p2);
}

void free_file_offer(fx_file_offer* offer) {
  if (offer == nullptr) return;
  std::free(offer->file_id);
  std::free(offer->session_id);
  std::free(offer->url);
  std::free(offer->name);
  std::free(offer->md5);
  std::free(offer->transfer_type);
  std::free(offer);
}

}  // namespace tavrin
