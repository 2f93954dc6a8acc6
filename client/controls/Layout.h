// Layout tables: a screen's rectangles as named constants, and hit testing
// over a table, so a tap handler reads as the screen's list of tap areas:
//
//   enum class Tap { kLogin, kExit };
//   constexpr HotArea<Tap> kTaps[] = {{Tap::kLogin, {0, 750, 160, 800}}, ...};
//   if (auto t = hit(kTaps, p)) switch (*t) { ... }
//
// Rectangles are half-open, in the coordinates the table names (screen
// coordinates for taps unless a screen says otherwise). The first area that
// contains the point wins.
#pragma once

#include <optional>
#include <span>

#include "platform/geometry.h"

namespace tavrin::controls {

using platform::Point;
using platform::Rect;

template <class Id>
struct HotArea {
  Id id;
  Rect rect;
};

template <class Id, size_t N>
std::optional<Id> hit(const HotArea<Id> (&table)[N], Point p) {
  for (const auto& area : table)
    if (area.rect.contains(p)) return area.id;
  return std::nullopt;
}

template <class Id>
std::optional<Id> hit(std::span<const HotArea<Id>> table, Point p) {
  for (const auto& area : table)
    if (area.rect.contains(p)) return area.id;
  return std::nullopt;
}

// The rectangle of an id in a table (an empty one when it is missing).
template <class Id, size_t N>
constexpr Rect area_of(const HotArea<Id> (&table)[N], Id id) {
  for (const auto& area : table)
    if (area.id == id) return area.rect;
  return {};
}

}  // namespace tavrin::controls
