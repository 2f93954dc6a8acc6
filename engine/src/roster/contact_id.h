// Contact ids: the 32-bit number that addresses a user, a mobile number or a
// group chat, derived from its uri; the id classes; the display number that
// turns a mobile-derived id back into a phone number. Pure functions, any
// thread.
#pragma once

#include <string>

namespace tavrin::contacts {

// Base-10 value of the leading number of s (after blanks and a sign), clamped
// to the 32-bit range as the ids are 32-bit; 0 for nullptr or no digits.
long to_int32(const char* s);

// Id of a uri: the number of "sip:N@..." or "sip:PGN@...", the rewritten
// mobile number of "tel:...", else 0.
long contact_id_from_uri(const char* uri);

// A Tavrin-number user ("pc user"): below 1000000000 and at least 100000000
// or at most 10000000.
bool is_pc_user_id(long id);
// A group chat: at most 10000000 and not 10000.
bool is_qun_id(long id);

// "%ld" for a Tavrin-number user, else the mobile number the id came from.
std::string display_number(long id);

}  // namespace tavrin::contacts
