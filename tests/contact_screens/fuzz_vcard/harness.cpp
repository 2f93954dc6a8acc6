// Any bytes as an address-book file: the reader never fails and every card
// it returns holds only what the text held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/address_book.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto cards = tavrin::platform::parse_vcards(text);
  if (cards.size() > tavrin::platform::kAddressBookMaxCards) std::abort();
  for (const auto& card : cards)
    if (card.name.size() > size) std::abort();
  return 0;
}
