// Fuzz harness: file-offer bodies and contact-event bodies as a server
// sends them, through the parser and the event handling (no callback set,
// so nothing is posted).
#include <cstddef>
#include <cstdint>
#include <string>

#include "contacts/requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  tavrin::contacts::parse_file_offer(body.c_str());
  tavrin::contacts::handle_contact_event(body.c_str());
  return 0;
}
