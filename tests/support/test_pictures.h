// Pictures in the kinds a person picks for a background, written for the
// tests: a JPEG (through SDL_image's encoder), a BMP (SDL's) and a GIF (a
// small one written here: no library the client links encodes GIF). Each
// is one colour, or `left` and `right` halves. Test code only.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::test {

// Colours as 0xRRGGBB; false when the file could not be written.
bool write_jpeg(const std::string& path, int width, int height, uint32_t left, uint32_t right);
bool write_bmp(const std::string& path, int width, int height, uint32_t left, uint32_t right);
// A GIF whose right half is transparent when `transparent_right`.
bool write_gif(const std::string& path, int width, int height, uint32_t left, uint32_t right,
               bool transparent_right = false);

}  // namespace tavrin::test
