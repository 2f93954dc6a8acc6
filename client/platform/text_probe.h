// The text probe: with a sink installed, every outline text drawn (Font::draw,
// which every painter, control, box and bar goes through) is reported with
// where it went, how it was broken into lines and what lay under it, so the
// screen tests can check the design of every frame they take. No sink is
// installed in the product: then drawing costs one test of a null pointer.
// The sink runs while the fonts are locked: it must not measure or draw.
// UI thread only, like drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace tavrin::platform::text_probe {

struct Line {
  std::u16string text;
  Rect ink;              // the inked pixels (coverage >= 1/8), target coordinates; empty: none
  bool wrapped = false;  // began at an automatic break, not at '\n'
  bool missing_glyph = false;  // a character the faces lack (drawn as an empty box)
};

struct Drawn {
  std::u16string text;
  Rect rect;                // the layout rectangle, target coordinates
  Rect target;              // the pixels the text may mark: the buffer, and rect unless kNoClip
  uint32_t colour = 0;      // 0x00BBGGRR
  uint16_t background = 0;  // RGB565: the most frequent pixel under the ink before drawing
  bool has_background = false;
  // RGB565: the darkest and the lightest pixels under the ink of those that
  // cover a fiftieth of it or more (a picture under the text shows here).
  uint16_t darkest = 0, lightest = 0;
  unsigned flags = 0;
  int height = 0;  // font height
  std::vector<Line> lines;
};

using Sink = std::function<void(const Drawn&)>;

// Installs (or, with an empty sink, removes) the receiver of every text drawn.
void set_sink(Sink sink);
// The sink when one is installed, else null.
const Sink* sink();

}  // namespace tavrin::platform::text_probe
