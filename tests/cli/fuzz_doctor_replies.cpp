// Fuzz harness: bytes as a peer's answer through the doctor's readers (the
// proxy status line, the navigation answer, the own-info answer) and the
// address splitter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "doctor/codec.h"
#include "doctor/navigation_probe.h"
#include "doctor/proxy_probe.h"
#include "doctor/sipc_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace d = tavrin::cli::doctor;
  const std::string text(reinterpret_cast<const char*>(data), size);
  d::http_status_code(d::http_status_of(text));
  bool bad = false;
  for (bool closed : {false, true})
    if (auto body = d::navigation_body(text, closed, &bad)) {
      tavrin::extract_sipc_proxy(*body);
      tavrin::extract_sipc_tls_proxy(*body);
    }
  d::parse_address(text);
  d::split_account_uri(d::own_info_uri(text));
  return 0;
}
