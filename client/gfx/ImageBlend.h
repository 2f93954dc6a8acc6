// The per-row loops behind CSkinImage::draw, apart so tests can hold the
// fast loops against the plain per-pixel rules.
//
// Source rows are premultiplied ARGB32; destination rows RGB565.
#pragma once

#include <cstdint>

namespace tavrin::gfx {

// floor(channel * 255 / alpha) for alpha 1..255, capped at 255 (a channel
// larger than its alpha is not premultiplied data; it saturates rather than
// spilling into the neighbouring field).
uint32_t unpremultiply(uint32_t channel, uint32_t alpha);

// The colour of a premultiplied pixel as RGB565, divided by its own alpha.
uint16_t unpremultiplied_565(uint32_t argb);

// Fast path: alpha 0 leaves, 255 writes, others blend at the pixel's alpha.
// Uses eight-pixel vector steps where the processor has them.
void blend_image_row(uint16_t* dst, const uint32_t* src, int count);
// The same, one pixel at a time on any processor.
void blend_image_row_portable(uint16_t* dst, const uint32_t* src, int count);
// Opacity / invert path: effective alpha a * opacity / 100 (below 100).
void blend_image_row_opacity(uint16_t* dst, const uint32_t* src, int count, int opacity,
                             bool invert);

// The same rules pixel by pixel, with no table or vector tricks: the
// reference the fast loops are tested against.
void blend_image_row_reference(uint16_t* dst, const uint32_t* src, int count, int opacity,
                               bool invert);

}  // namespace tavrin::gfx
