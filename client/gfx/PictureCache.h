// Pictures drawn from files (a window's background, on every paint) are
// decoded once and kept fitted to the size they are drawn at, until the
// file changes: a photo is not decoded again for each frame. A few are
// kept, the last used first. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/image.h"

namespace tavrin::gfx {

// The picture at `path` fitted into width x height (scaled down, never up),
// or null when the file is missing or no picture the client can read.
std::shared_ptr<const platform::ArgbImage> cached_picture(const std::string& path, int width,
                                                          int height);

}  // namespace tavrin::gfx
