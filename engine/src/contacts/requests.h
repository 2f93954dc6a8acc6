// What other users do to the user's contact list, and files they offer:
//   - contact events ("BN" N: contact on the registration's call, handed
//     over by the session): "AddBuddyApplication" posts 93 (description,
//     requester uri), "UpdateBuddy" stores the relation and posts 80;
//   - fx_handleContactRequest (requests.cpp): the user's answer, with the
//     requester stored at once on accept;
//   - inside a dialog (handed over by the dialog layer): an "IN" that offers
//     a file is answered 200 and posted as 135 with an fx_file_offer.
// Events and dialog requests run on the worker thread; the store is changed
// under the store lock and messages go to the system callback afterwards.
#pragma once

#include <memory>

#include "libtavrin.h"
#include "message_words.h"
#include "sipc/message.h"

namespace tavrin::contacts {

// A "BN" contact event body.
void handle_contact_event(const char* body);

struct FileOfferFree {
  void operator()(fx_file_offer* offer) const { free_file_offer(offer); }
};
using FileOfferPtr = std::unique_ptr<fx_file_offer, FileOfferFree>;

// The offer in an "IN" body (`action` with `transmit` and `file`), sender id
// 0; nullptr when the body is no offer. Any thread.
FileOfferPtr parse_file_offer(const char* body);

// An "IN" request of a dialog whose body is not a nudge: when it offers a
// file, answers it 200 and posts 135 (offer, sender id); true then. Anything
// else is left unanswered and false returned.
bool handle_dialog_info(const sipc_message& request);
// The same, in the form of the dialog layer's file-offer hook.
inline void handle_dialog_file_offer(const sipc_message& request) {
  handle_dialog_info(request);
}

}  // namespace tavrin::contacts
