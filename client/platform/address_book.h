// The device's address book, read from a vCard file (the user's export of
// their phone contacts): each card's display name, phone numbers and
// categories. The reader accepts vCard 2.1, 3.0 and 4.0 as phones write
// them: folded lines, property groups ("item1.TEL"), parameters, escaped
// text ("\,", "\;", "\n"). It never fails: what it cannot read it skips.
// Bounded (kMaxBytes of file, kMaxCards cards). Texts are UTF-8. Any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::platform {

struct AddressCard {
  std::string name;                     // FN, else N as "given family", else ""
  std::vector<std::string> phones;      // TEL values, in file order
  std::vector<std::string> categories;  // CATEGORIES values, in file order
};

inline constexpr size_t kAddressBookMaxBytes = 8u << 20;
inline constexpr size_t kAddressBookMaxCards = 20000;

std::vector<AddressCard> parse_vcards(std::string_view text);
// The cards of a file; empty when it is missing, unreadable or too large.
std::vector<AddressCard> read_address_book(const std::filesystem::path& file);

}  // namespace tavrin::platform
