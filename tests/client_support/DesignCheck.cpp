#include "DesignCheck.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

#include "platform/font.h"
#include "platform/text_codec.h"

namespace tavrin::test {

using platform::text_probe::Drawn;

namespace {

// Faults known and not mended yet; each entry names its fault and goes
// when the screen is mended.
struct Allowed {
  const char* screen;    // golden name; "" for any
  const char* fragment;  // part of the text, UTF-8
  const char* fault;     // the start of the fault's description
};
constexpr Allowed kAllowed[] = {
    // The theme screens' sample of the list colours: the theme's own pair,
    // shown as it is.
    {"", "列表", "has contrast"},
};

bool allowed(const std::string& screen, const std::string& text, const std::string& fault) {
  for (const Allowed& a : kAllowed) {
    if (*a.screen && screen != a.screen) continue;
    if (text.find(a.fragment) == std::string::npos) continue;
    if (fault.find(a.fault) != std::string::npos) return true;
  }
  return false;
}

bool digit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}
bool letter_or_ideograph(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0x3400 && c <= 0x9FFF);
}
bool closing_mark(char16_t c) {
  return std::u16string_view(u"!),.:;?]}%、。，．：；？！）］｝》〉」』】〕”’…").find(c) !=
         std::u16string_view::npos;
}

double channel(int v) {
  const double c = v / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double luminance(int r, int g, int b) {
  return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b);
}

std::string hex(int r, int g, int b) {
  char s[8];
  std::snprintf(s, sizeof s, "#%02X%02X%02X", r & 255, g & 255, b & 255);
  return s;
}

std::string quoted(std::u16string_view t) {
  return "\"" + platform::utf16_to_utf8(t) + "\"";
}

}  // namespace

double contrast_ratio(int r1, int g1, int b1, int r2, int g2, int b2) {
  const double a = luminance(r1, g1, b1), b = luminance(r2, g2, b2);
  return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

namespace {
double contrast_with(const Drawn& d, uint16_t pixel) {
  const int br = (pixel >> 11) * 255 / 31, bg = ((pixel >> 5) & 63) * 255 / 63,
            bb = (pixel & 31) * 255 / 31;
  return contrast_ratio(int(d.colour & 255), int((d.colour >> 8) & 255),
                        int((d.colour >> 16) & 255), br, bg, bb);
}
// The pixel under the text its contrast is judged on.
uint16_t judged_pixel(const Drawn& d, DesignCheck::Under under) {
  uint16_t worst = d.background;
  if (under == DesignCheck::kPictures)
    for (uint16_t p : {d.darkest, d.lightest})
      if (contrast_with(d, p) < contrast_with(d, worst)) worst = p;
  return worst;
}
}  // namespace

double contrast_of(const Drawn& d, DesignCheck::Under under) {
  if (!d.has_background) return 21.0;
  return contrast_with(d, judged_pixel(d, under));
}

std::vector<std::string> design_faults(const Drawn& d, DesignCheck::Under under) {
  std::vector<std::string> out;
  const std::string what = quoted(d.text);
  bool any_ink = false;
  for (size_t i = 0; i < d.lines.size(); ++i) {
    const auto& line = d.lines[i];
    if (line.missing_glyph) out.push_back(what + " shows an empty box for a character it lacks");
    if (line.ink.empty()) continue;
    any_ink = true;
    const auto& ink = line.ink;
    const bool clipped = !(d.flags & platform::text::kNoClip);
    // A pixel of a glyph's bearing past the pen's place is not a cut a
    // person sees; two are.
    constexpr int kBearing = 1;
    if (clipped && (ink.left < d.rect.left - kBearing || ink.right > d.rect.right + kBearing))
      out.push_back(what + " is cut at the side of its rectangle (ink " + std::to_string(ink.left) +
                    ".." + std::to_string(ink.right) + ", rectangle " +
                    std::to_string(d.rect.left) + ".." + std::to_string(d.rect.right) + ")");
    else if (ink.left < d.target.left - kBearing || ink.right > d.target.right + kBearing)
      out.push_back(what + " runs off the side of the screen");
    if (clipped && (ink.top < d.rect.top - kBearing || ink.bottom > d.rect.bottom + kBearing))
      out.push_back(what + " is cut at the top or bottom of its rectangle (line " +
                    quoted(line.text) + ")");
    if (line.wrapped && i > 0 && !d.lines[i - 1].text.empty() && !line.text.empty()) {
      const char16_t a = d.lines[i - 1].text.back(), b = line.text.front();
      if ((digit(a) && (digit(b) || letter_or_ideograph(b))) ||
          (digit(b) &&
           (digit(a) || std::u16string_view(u"/.:-,").find(a) != std::u16string_view::npos)))
        out.push_back(what + " wraps inside a number (" + quoted(d.lines[i - 1].text) + " | " +
                      quoted(line.text) + ")");
      if (closing_mark(b))
        out.push_back(what + " leaves a mark alone at a line start (" + quoted(line.text) + ")");
    }
  }
  if (!any_ink || !d.has_background) return out;
  const double ratio = contrast_of(d, under);
  if (ratio < 4.5) {
    const int fr = int(d.colour & 255), fg = int((d.colour >> 8) & 255),
              fb = int((d.colour >> 16) & 255);
    const uint16_t pixel = judged_pixel(d, under);
    const int br = (pixel >> 11) * 255 / 31, bg = ((pixel >> 5) & 63) * 255 / 63,
              bb = (pixel & 31) * 255 / 31;
    char r[16];
    std::snprintf(r, sizeof r, "%.2f", ratio);
    out.push_back(what + " has contrast " + r + ":1 (" + hex(fr, fg, fb) + " on " +
                  hex(br, bg, bb) + "), under 4.5:1");
  }
  return out;
}

DesignCheck::DesignCheck(Under under) : under_(under) {
  platform::text_probe::set_sink([this](const Drawn& d) { drawn_.push_back(d); });
}

DesignCheck::~DesignCheck() {
  platform::text_probe::set_sink({});
}

std::vector<Drawn> DesignCheck::take() {
  return std::exchange(drawn_, {});
}

std::string DesignCheck::faults(const std::string& screen) {
  std::set<std::string> seen;
  std::string out;
  const char* env = std::getenv("TAVRIN_DESIGN_REPORT");
  const bool report_only = env && *env && std::string_view(env) != "0";
  const std::vector<Drawn> drawn = take();
  // A text drawn again at the same place in the same colour is judged on
  // its best background: a control may draw once before its backdrop is in.
  std::map<std::tuple<std::u16string, int, int, uint32_t>, double> best;
  for (const Drawn& d : drawn) {
    double& b = best[{d.text, d.rect.left, d.rect.top, d.colour}];
    b = std::max(b, contrast_of(d, under_));
  }
  for (const Drawn& d : drawn) {
    const std::string text = platform::utf16_to_utf8(d.text);
    const bool contrast_ok = best[{d.text, d.rect.left, d.rect.top, d.colour}] >= 4.5;
    for (const std::string& f : design_faults(d, under_)) {
      if (contrast_ok && f.find(" has contrast ") != std::string::npos) continue;
      if (allowed(screen, text, f) || !seen.insert(f).second) continue;
      if (report_only)
        std::cerr << "design check: " << screen << ": " << f << "\n";
      else
        out += "design check: " + screen + ": " + f + "\n";
    }
  }
  return out;
}

}  // namespace tavrin::test
