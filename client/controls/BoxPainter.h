// Drawing shared by the full-screen boxes (message box, input box, the
// new-message notice): the dimmed screen behind them, their rounded panel
// and their glossy buttons with a centred caption. UI thread only.
#pragma once

#include <string_view>

#include "gfx/CSurface.h"
#include "gfx/Painter.h"

namespace tavrin::controls {

// Darkens everything the painter may draw on to half, so a box stands out.
void dim(gfx::Painter& p);
// The backdrop of the message and input boxes: the screen grabbed when the
// box opened (behind), dimmed, under the box's panel in the theme's colours.
inline constexpr gfx::Rect kBoxPanel{40, 140, 440, 400};
void draw_box_backdrop(gfx::Painter& p, gfx::CSurface& behind, const gfx::Rect& panel = kBoxPanel);
// A rounded panel with its frame.
void draw_panel(gfx::Painter& p, const gfx::Rect& r, gfx::Colour colour, int alpha);
// A glossy button with a highlight cap and its caption centred ("黑体" 30).
void draw_button(gfx::Painter& p, const gfx::Rect& r, std::u16string_view caption, gfx::Colour fill,
                 int alpha, gfx::Colour text_colour);

}  // namespace tavrin::controls
