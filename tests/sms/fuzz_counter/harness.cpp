// Any text a user types or pastes into an SMS box: the counter's figures
// stay consistent (parts cover the text and no more than one part is
// short), and the picker's fields stay in their ranges whatever arrows are
// pressed in whatever order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "screens/sms/PickedTime.h"
#include "screens/sms/SmsCounter.h"

using namespace tavrin::screens;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text += char16_t(data[i] | (data[i + 1] << 8));
  const SmsCount c = count_sms(text, 180);
  const size_t single = c.wide ? 70 : 160, part = c.wide ? 67 : 153;
  if (c.left + std::min<size_t>(text.size(), 180) != 180) std::abort();
  if (text.empty() != (c.parts == 0)) std::abort();
  if (c.parts == 1 && text.size() > single) std::abort();
  if (c.parts > 1 &&
      (size_t(c.parts) * part < text.size() || size_t(c.parts - 1) * part >= text.size()))
    std::abort();
  (void)counter_text(c);

  PickedTime t;
  for (size_t i = 0; i < size; ++i) {
    t.step(TimeField(data[i] % 5), (data[i] & 0x80) ? -1 : +1);
    if (t.year < PickedTime::kFirstYear || t.year > PickedTime::kLastYear || t.month < 1 ||
        t.month > 12 || t.day < 1 || t.day > days_in_month(t.year, t.month) || t.hour > 23 ||
        t.minute > 59)
      std::abort();
  }
  if (t.send_time().size() != 19) std::abort();
  return 0;
}
