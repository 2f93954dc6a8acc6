// The design check of the screen tests: while a DesignCheck lives, every
// text the client draws is recorded (platform/text_probe.h); faults() then
// names each text that a person would find broken:
//  - cut: its ink passes its rectangle, or the side of the screen (a text
//    the screen shortened itself with an ellipsis fits, and passes; a text
//    cut at the top or bottom of a scrolled list is not cut at its own
//    rectangle, and passes too);
//  - an empty box: a character no face has;
//  - a wrap inside a number or between a number and its unit ("5"/"秒",
//    "1"/"1"), or a closing mark alone at a line start ("！");
//  - contrast under 4.5:1 between its colour and the most frequent pixel
//    under it (relative luminance as the accessibility guidelines define it).
//  - over a picture (a check made with kPictures): contrast under 4.5:1
//    with the darkest or the lightest pixel under it as well, of those that
//    cover a fiftieth of it or more, so a text reads on every part of a
//    photo it lies on, not only on its most common colour.
// Faults of texts on screens that other work is mending can be allowed by
// an entry in the allow-list of DesignCheck.cpp, which names the fault.
// TAVRIN_DESIGN_REPORT=1 prints the faults instead of failing on them.
#pragma once

#include <string>
#include <vector>

#include "platform/text_probe.h"

namespace tavrin::test {

class DesignCheck {
 public:
  enum Under { kDesigned, kPictures };
  // Installs the probe's sink; kPictures for screens over a picture no one
  // matched to their colours (a user's photo).
  explicit DesignCheck(Under under = kDesigned);
  ~DesignCheck();  // removes it
  DesignCheck(const DesignCheck&) = delete;
  DesignCheck& operator=(const DesignCheck&) = delete;

  // The faults of the texts drawn since the last call, one line each,
  // naming the screen and the text; empty when all is well (or when only
  // reporting). Forgets those texts.
  std::string faults(const std::string& screen);
  // The texts drawn since the last faults() or take().
  std::vector<platform::text_probe::Drawn> take();

 private:
  std::vector<platform::text_probe::Drawn> drawn_;
  Under under_;
};

// The faults of one text, as the lines faults() gives (without the screen).
std::vector<std::string> design_faults(const platform::text_probe::Drawn& d,
                                       DesignCheck::Under under = DesignCheck::kDesigned);

// The contrast of a text's colour with the pixel under it (21 when unknown);
// with kPictures the least of those with the most frequent, the darkest
// and the lightest pixel under it.
double contrast_of(const platform::text_probe::Drawn& d,
                   DesignCheck::Under under = DesignCheck::kDesigned);
// WCAG contrast ratio of two colours given as 8-bit red, green, blue.
double contrast_ratio(int r1, int g1, int b1, int r2, int g2, int b2);

}  // namespace tavrin::test
