// Random key and character sequences into the single-line field: whatever
// is typed, pasted or set, the stored text stays whole GB2312 characters
// within the maximum length, and the caret, the first visible index and
// the selection always sit on character starts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "controls/CEditWnd.h"
#include "controls/GbText.h"
#include "platform/clipboard.h"
#include "platform/messages.h"
#include "platform/window_system.h"

using namespace tavrin;

namespace {

void check(const controls::CEditWnd& e) {
  const std::string& t = e.text_bytes();
  if (t.size() > e.max_length()) std::abort();
  if (controls::gb::sanitize(t) != t) std::abort();
  if (!controls::gb::is_boundary(t, e.caret())) std::abort();
  if (!controls::gb::is_boundary(t, e.first_visible()) || e.first_visible() > e.caret())
    std::abort();
  // The caret stays where it can be seen, whatever the text's widths.
  if (e.caret_x() >= e.text_right()) std::abort();
  const std::string sel = e.selected_bytes();
  if (controls::gb::sanitize(sel) != sel) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::WindowSystem windows;
  static const platform::WindowId parent = [] {
    platform::WindowSpec spec;
    spec.rect = {0, 52, 480, 852};
    return windows.create(std::move(spec));
  }();
  if (size < 1) return 0;
  controls::CEditWnd edit;
  if (!edit.create(parent, {10, 10, 10 + 40 + data[0] % 200, 60}, 1 + data[0] % 40)) return 0;
  static const uint32_t keys[] = {platform::key::kEnd,   platform::key::kHome, platform::key::kLeft,
                                  platform::key::kRight, platform::key::kUp,   platform::key::kDown,
                                  platform::key::kDelete};
  static const char16_t chars[] = {u'a',   u'中',  u'文', 8,    3,  22,     24,
                                   0xD83D, 0xDE00, u'é',  u' ', 13, 0x3000, u'9'};
  for (size_t i = 1; i < size; ++i) {
    const uint8_t op = data[i];
    switch (op % 5) {
      case 0:
        edit.on_key(keys[(op / 5) % 7], op & 0x80);
        break;
      case 1:
        edit.on_char(chars[(op / 5) % 14]);
        break;
      case 2:  // a raw UTF-16 unit from the next two bytes
        if (i + 2 < size) {
          edit.on_char(char16_t(data[i + 1] | (data[i + 2] << 8)));
          i += 2;
        }
        break;
      case 3: {  // clipboard or the field's text from the following bytes
        const size_t n = std::min<size_t>(size - i - 1, op / 5 % 16);
        const std::string bytes(reinterpret_cast<const char*>(data + i + 1), n);
        if (op & 0x80) {
          std::u16string clip;
          for (size_t k = 0; k + 1 < n; k += 2)
            clip += char16_t(uint8_t(bytes[k]) | (uint8_t(bytes[k + 1]) << 8));
          platform::Clipboard::set_text(clip);
        } else {
          edit.set_text_bytes(bytes);
        }
        i += n;
        break;
      }
      default:
        edit.index_at(op);
        break;
    }
    check(edit);
  }
  return 0;
}
