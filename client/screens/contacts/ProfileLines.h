// The nine labelled lines of a contact's profile, read from the engine's
// contact store (under its lock) and copied: display name with the kind of
// user, Tavrin number, mobile number, buddy-list id, and from the profile
// record (empty values without one) nickname, gender, mood text, province
// and city code. UI thread (engine accessors).
#pragma once

#include <string>
#include <vector>

namespace tavrin::screens {

// Empty when the engine does not know the id.
std::vector<std::u16string> profile_lines(long contact_id);

// The contact's display name as the engine shows it; empty when unknown.
std::u16string contact_show_name(long contact_id);

}  // namespace tavrin::screens
