// One theme package: the theme file in the client's format, the preview
// "PreSee.png" and the images the package carries. Writes a staging folder
// laid out as the package installs into the install folder; the build packs
// that folder into "Theme.cab".
#pragma once

#include <string>

#include "canvas.h"
#include "emoticon_grid.h"
#include "manifest.h"
#include "palette.h"

namespace tavrin::tools {

class ThemePackage {
 public:
  explicit ThemePackage(const Palette& palette) : palette_(palette) {}

  // The "BriskLibTavrinTheme.xml" text, as the client's own writer lays it out.
  [[nodiscard]] std::string theme_file() const;
  // A half-size picture of the main window in this theme (240 x 400).
  void paint_preview(Canvas& canvas) const;
  // Writes every "cab" entry of the manifest below `stage_dir`; throws on a
  // size mismatch or a name it cannot draw.
  void write_stage(const Manifest& manifest, const std::string& stage_dir) const;

 private:
  const Palette& palette_;
};

}  // namespace tavrin::tools
