// Drawing shared by the full-screen boxes (message box, input box, the
// new-message notice): the dimmed screen behind them, their rounded panel
// and their glossy buttons with a centred caption. UI thread only.
#pragma once

#include <string_view>

#include "gfx/CSurface.h"
#include "gfx/PixelCanvas.h"
#include "gfx/Rect.h"
#include "gfx/Rgb565.h"
#include "platform/geometry.h"

namespace tavrin::controls {

// Darkens the whole canvas to half, so the box stands out from the screen.
void dim(gfx::PixelCanvas& c);
// True when p lies within r (its right and bottom edges outside).
bool inside_rect(const gfx::Rect& r, platform::Point p);
// The backdrop of the message and input boxes: the screen grabbed when the
// box opened (behind), dimmed, under the box's panel in the theme's colours.
void draw_box_backdrop(gfx::PixelCanvas& c, gfx::CSurface& behind);
// A rounded panel with its frame.
void draw_panel(gfx::PixelCanvas& c, const gfx::Rect& r, gfx::Colour colour, int alpha);
// A glossy button with a highlight cap and its caption centred.
void draw_button(gfx::PixelCanvas& c, const gfx::Rect& r, std::u16string_view caption,
                 gfx::Colour fill, int alpha, gfx::Colour text_colour);
// Text in "黑体" of the height, with the platform's layout flags.
void draw_text(gfx::PixelCanvas& c, std::u16string_view text, const gfx::Rect& r, int height,
               gfx::Colour colour, unsigned flags);

}  // namespace tavrin::controls
