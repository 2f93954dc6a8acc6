// The first image of a GIF file, decoded here rather than by SDL_image,
// whose GIF reader frees memory twice on some broken files (a 60-byte file
// found by the fuzzer crashed the client). The image has its own size (its
// frame may be larger than the screen it claims); the transparent colour
// and indices past the colour table come out transparent, and pixels the
// data leaves out stay transparent. Within the picture limits of the
// caller (picture.cpp checks the size first). Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/image.h"

namespace tavrin::platform {

[[nodiscard]] std::optional<ArgbImage> decode_gif(const uint8_t* data, size_t size);

}  // namespace tavrin::platform
