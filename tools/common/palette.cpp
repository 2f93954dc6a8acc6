#include "palette.h"

#include <stdexcept>

namespace tavrin::tools {

const std::vector<Palette>& palettes() {
  static const std::vector<Palette> all = {
      {"Classic",
       // The defaults the client starts with when no theme file exists.
       {0xEDEDED, 0x808080, 255,      0x000000, 0x42301F, 255,      0xEDEDED, 0x42301F, 255,
        0xEDEDED, 0xFFFFFF, 0x00FF00, 0x000000, 255,      0x171717, 0x42301F, 255,      0xEDEDED,
        0xF2D532, 0x808080, 128,      0xF2D532, 0x000000, 255,      0xF7F7F7, 0xFF0000, 255},
       {0x0E1A27, 0x1D4057, 0x32D5F2, 0x1F3042, 0x32D5F2, 0x1690B8, 0xEDF1F5, 0x1F3042}},
      {"Sakura",
       {0xF4EAF7, 0xA08C9A, 255,      0x3A1F33, 0x4A2A5C, 240,      0xF4E6FF, 0x4A2A5C, 245,
        0xF4E6FF, 0xFFFAFD, 0xC49EFF, 0x5C2A4A, 255,      0x33182B, 0x7A3F8E, 255,      0xFFF2FA,
        0xC89EFF, 0xB08AA6, 128,      0xE4D2FF, 0x3A1A30, 235,      0xFFEFF7, 0xB070FF, 255},
       {0x2A1024, 0x6A2F57, 0xFF9EC8, 0x5C2A4A, 0xFF9EC8, 0xD05C93, 0xF8EEF3, 0x4A1F3C}},
      {"Forest",
       {0xE6EEE9, 0x7F8F86, 255,      0x10201A, 0x2C3B1E, 250,      0xE9F2EC, 0x2C3B1E, 250,
        0xE9F2EC, 0xFCFFFD, 0x4BB8F2, 0x1F3B2C, 255,      0x14201A, 0x2E5A3A, 255,      0xF4FFF0,
        0x4BB8F2, 0x86968C, 128,      0xA6E2FF, 0x13261C, 240,      0xF0FFF4, 0x3C9BE0, 255},
       {0x0B1D14, 0x245A3F, 0xF2B84B, 0x1E3B2C, 0xF2B84B, 0xC98A1E, 0xEFF4EF, 0x1E3B2C}},
  };
  return all;
}

const Palette& palette_named(const std::string& name) {
  for (const Palette& p : palettes())
    if (p.name == name) return p;
  throw std::runtime_error("no palette named " + name);
}

}  // namespace tavrin::tools
