// Pictograms drawn as cairo paths into a square box (x, y, size), in one
// colour, with rounded strokes about size / 14 wide: the shared icon style of
// every skin image.
#pragma once

#include <cstdint>

#include "canvas.h"

namespace tavrin::tools::icons {

void person(const Canvas& c, double x, double y, double s, uint32_t rgb, double alpha = 1.0);
void two_people(const Canvas& c, double x, double y, double s, uint32_t rgb);
void phone(const Canvas& c, double x, double y, double s, uint32_t rgb);
void envelope(const Canvas& c, double x, double y, double s, uint32_t rgb);
void bubble(const Canvas& c, double x, double y, double s, uint32_t rgb);
void card(const Canvas& c, double x, double y, double s, uint32_t rgb);
void dots(const Canvas& c, double x, double y, double s, uint32_t rgb);
void plus(const Canvas& c, double x, double y, double s, uint32_t rgb);
void minus(const Canvas& c, double x, double y, double s, uint32_t rgb);
void cross(const Canvas& c, double x, double y, double s, uint32_t rgb);
void check(const Canvas& c, double x, double y, double s, uint32_t rgb);
void question(const Canvas& c, double x, double y, double s, uint32_t rgb);
void magnifier(const Canvas& c, double x, double y, double s, uint32_t rgb);
void refresh(const Canvas& c, double x, double y, double s, uint32_t rgb);
void clock(const Canvas& c, double x, double y, double s, uint32_t rgb);
void moon(const Canvas& c, double x, double y, double s, uint32_t rgb);
void keyboard(const Canvas& c, double x, double y, double s, uint32_t rgb);
void clipboard(const Canvas& c, double x, double y, double s, uint32_t rgb);
void smiley(const Canvas& c, double x, double y, double s, uint32_t rgb);
void nudge(const Canvas& c, double x, double y, double s, uint32_t rgb);
void history(const Canvas& c, double x, double y, double s, uint32_t rgb);
void arrow(const Canvas& c, double x, double y, double s, uint32_t rgb, bool right);
void triangle(const Canvas& c, double x, double y, double s, uint32_t rgb, bool down);
void folder(const Canvas& c, double x, double y, double s, uint32_t body, uint32_t tab);
void picture(const Canvas& c, double x, double y, double s, uint32_t frame, uint32_t sky);
void book(const Canvas& c, double x, double y, double s, uint32_t rgb);

// A round badge (status marks) with a white rim.
void badge(const Canvas& c, double cx, double cy, double radius, uint32_t fill);

}  // namespace tavrin::tools::icons
