// Pictures in the kinds a person picks for a background, written for the
// tests: a JPEG (through SDL_image's encoder), a BMP (SDL's) and a GIF (a
// small one written here: no library the client links encodes GIF). Each
// is one colour, or `left` and `right` halves. And two bombs: small files
// that would cost a decoder gigabytes or minutes. Test code only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::test {

// Colours as 0xRRGGBB; false when the file could not be written.
bool write_jpeg(const std::string& path, int width, int height, uint32_t left, uint32_t right);
bool write_bmp(const std::string& path, int width, int height, uint32_t left, uint32_t right);
// A GIF whose right half is transparent when `transparent_right`.
bool write_gif(const std::string& path, int width, int height, uint32_t left, uint32_t right,
               bool transparent_right = false);

// A black 1-bit PNG of side x side pixels, written row by row at the best
// compression: 16384 x 16384 is about 40 KB on disk, 1 GB once decoded.
bool write_png_bomb(const std::string& path, int side);
// A greyscale progressive JPEG of `scans` scans, each a pass over the whole
// picture that the decoder takes for a DC scan with its data cut short.
std::string jpeg_of_scans(int width, int height, int scans);

}  // namespace tavrin::test
