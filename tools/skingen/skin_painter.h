// Draws every skin image of one palette by its install-folder name
// ("Theme/bk.png", "Theme/TavrinStatus.png", ...). The emoticon grid comes
// from EmoticonGrid, theme previews from ThemePackage.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "canvas.h"
#include "palette.h"

namespace tavrin::tools {

class SkinPainter {
 public:
  explicit SkinPainter(const Palette& palette);

  // Paints `name` into `canvas`; false when the name is not one of ours.
  bool paint(const std::string& name, Canvas& canvas) const;
  [[nodiscard]] bool knows(const std::string& name) const { return painters_.count(name) != 0; }
  // The desktop's application icon: the logo's mark filling a square canvas.
  void app_icon(Canvas& c) const;

 private:
  void background(Canvas& c) const;
  void main_frame(Canvas& c) const;
  void chat_frame(Canvas& c) const;
  void setting_background(Canvas& c) const;
  void status_strip(Canvas& c) const;
  void avatar(Canvas& c) const;
  void new_message(Canvas& c) const;
  void tree_flags(Canvas& c) const;
  void operations(Canvas& c) const;
  void add_search(Canvas& c) const;
  void group_message(Canvas& c) const;
  void chat_operations(Canvas& c) const;
  void selected_tab(Canvas& c) const;
  void logo(Canvas& c) const;
  void mark(Canvas& c, double x, double y, double shadow) const;
  void in_out(Canvas& c) const;
  void contact_info(Canvas& c) const;
  void contact_group(Canvas& c) const;
  void add_buddy(Canvas& c) const;
  void setting_tab(Canvas& c, bool selected) const;
  void switches(Canvas& c) const;
  void folder(Canvas& c, bool highlighted) const;
  void image_file(Canvas& c) const;

  void bottom_bar(Canvas& c, double top) const;
  void round_button(Canvas& c, double cx, double cy, double r, uint32_t base) const;

  const Palette& palette_;
  std::map<std::string, std::function<void(Canvas&)>> painters_;
};

}  // namespace tavrin::tools
