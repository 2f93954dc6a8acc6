// Pictures a person picks for a background: PNG, JPEG, BMP or GIF (its
// first frame), told apart by their first bytes, not by their names. They
// decode to image.h's premultiplied ARGB32, scaled down (never up) to fit
// a size when one is given, so that a camera's photo costs a screen's worth
// of memory once it is decoded. A file past kMaxPictureBytes, or a picture
// whose header names more than kMaxPicturePixels, is refused unread; so is
// a JPEG of more than kMaxJpegScans scans (each one a pass of the decoder
// over the whole picture).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/image.h"

namespace tavrin::platform {

// The same limits hold for every PNG image.h decodes (skins, previews).
inline constexpr size_t kMaxPictureBytes = 32 * 1024 * 1024;
inline constexpr long kMaxPicturePixels = 4096L * 4096L;  // a phone camera's photo
inline constexpr int kMaxJpegScans = 100;  // encoders write about ten

// Room a picture is scaled to fit into; 0 in either keeps its own size.
struct FitSize {
  int width = 0;
  int height = 0;
};

[[nodiscard]] std::optional<ArgbImage> decode_picture_file(const std::string& path,
                                                           FitSize fit = {});
[[nodiscard]] std::optional<ArgbImage> decode_picture_memory(const uint8_t* data, size_t size,
                                                             FitSize fit = {});

// The picture's width and height from its header alone, or nothing when the
// bytes are no picture of the four kinds. For the limits above.
[[nodiscard]] std::optional<std::pair<long, long>> picture_size(const uint8_t* data, size_t size);

// Whether the file is past the limits above (too many bytes, or a header
// naming too many pixels): refused for its size, not for being no picture.
[[nodiscard]] bool picture_too_large(const std::string& path);

}  // namespace tavrin::platform
