// Random text into the message box, laid out by the font's advances: any
// UTF-16 units (lone or paired surrogates, emoji, joiners, wide and narrow
// characters, line feeds) keep the layout whole: lines in order and inside
// the text, typing never makes more lines than the box shows, the caret and
// every tap inside the text; drawing the text never leaves the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "controls/CBriskEdit.h"
#include "platform/font.h"
#include "platform/window_system.h"

using namespace tavrin;

namespace {

void check(const controls::CBriskEdit& e) {
  const std::u16string& t = e.text();
  if (t.size() > e.max_length() || e.caret() > t.size()) std::abort();
  const auto lines = e.layout();
  if (lines.empty()) std::abort();
  size_t at = 0;
  for (const auto& l : lines) {
    if (l.start < at || l.end < l.start || l.end > t.size()) std::abort();
    at = l.end;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::WindowSystem windows;
  static const platform::WindowId parent = [] {
    platform::WindowSpec spec;
    spec.rect = {0, 52, 480, 852};
    return windows.create(std::move(spec));
  }();
  static const std::optional<platform::Font> font = platform::Font::make(u"黑体", 24);
  if (size < 1) return 0;
  controls::CBriskEdit box;
  const int width = 60 + data[0] % 200, height = 30 + data[0] / 2 % 120;
  if (!box.create(parent, {10, 10, 10 + width, 10 + height}, 1 + data[0] % 180, font)) return 0;
  static const char16_t chars[] = {u'a', u'中', u' ',   8,      13,     0xD83D, 0xDE00,
                                   u'W', u'\t', 0x200D, 0xFE0F, 0xDE00, 0xD83C, u'.'};
  for (size_t i = 1; i < size; ++i) {
    const uint8_t op = data[i];
    const size_t before = box.text().size();
    switch (op % 4) {
      case 0:
        box.on_char(chars[(op / 4) % 14]);
        break;
      case 1:  // a raw UTF-16 unit from the next two bytes
        if (i + 2 < size) {
          box.on_char(char16_t(data[i + 1] | (data[i + 2] << 8)));
          i += 2;
        }
        break;
      case 2: {  // the box's whole text from the following bytes
        const size_t n = std::min<size_t>(size - i - 1, op / 4 % 32);
        std::u16string text;
        for (size_t k = 0; k + 1 < n; k += 2)
          text += char16_t(data[i + 1 + k] | (data[i + 2 + k] << 8));
        box.set_text(text);
        i += n;
        break;
      }
      default: {
        const platform::Point p{op % 64 * 4 - 8, op / 64 * 30 - 4};
        if (auto index = box.index_at(p); index && *index > box.text().size()) std::abort();
        const platform::Point caret = box.caret_position(box.caret());
        if (caret.x < 0 || caret.y < 0) std::abort();
        break;
      }
    }
    // A typed character that needs a line the box cannot show is refused.
    if (op % 4 < 2 && box.text().size() > before && int(box.layout().size()) > box.lines_per_view())
      std::abort();
    check(box);
  }
  if (font) {
    std::vector<uint16_t> pixels(size_t(width) * size_t(height));
    platform::PixelBuffer565 buf{pixels.data(), width, height, width};
    font->draw(buf, box.text(), {-7, -5, width + 9, height + 3}, 0xFFFFFF,
               platform::text::kWordBreak);
  }
  return 0;
}
