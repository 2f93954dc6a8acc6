// Any date text a server sends turns into a time of day "hh:mm:ss" inside
// one day, or into nothing; never a crash, never 24:MM.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "screens/chat/ChatText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view date(reinterpret_cast<const char*>(data), size);
  for (int bias : {-840, -480, 0, 300, 720}) {
    const auto shown = tavrin::screens::chat::server_date_to_local(date, bias);
    if (!shown) continue;
    if (shown->size() != 8 || (*shown)[2] != u':' || (*shown)[5] != u':') std::abort();
    const int hours = ((*shown)[0] - u'0') * 10 + ((*shown)[1] - u'0');
    const int minutes = ((*shown)[3] - u'0') * 10 + ((*shown)[4] - u'0');
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) std::abort();
  }
  // The same date as an instant: any it reads lies between 1970 and 9999.
  if (auto at = tavrin::screens::chat::server_date_instant(
          std::string_view(reinterpret_cast<const char*>(data), size)))
    if (*at < 0 || *at > std::time_t(253402300800)) std::abort();
  return 0;
}
