// CScrollTree: the kinetic-scrolling list of sections and items that the
// main window shows as its contact tree. A section header is 50 pixels
// high and folds its items away when tapped; an item row is 70 pixels high.
// A tap on an item posts 9001 to the owner, a stroke of 101 pixels or more
// to the left 9002 and to the right 9003, each with the item's contact id
// in lParam; its inertia thread sends 9000 with the tree's id (666 for the
// contact tree). UI thread only; see ScrollView for how the owner drives it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "controls/ScrollView.h"
#include "gfx/CSkinImage.h"
#include "platform/font.h"

namespace tavrin::controls {

struct TreeItem {
  std::u16string name;
  uint32_t contact_id = 0;
  int group_id = 0;
  int status = 68;
  bool mobile = false;       // logged in by mobile
  bool new_message = false;  // shows the new-message mark
  gfx::Rect rect;            // content coordinates, set by the layout
};

struct TreeSection {
  std::u16string caption;
  int group_id = 0;
  int online = 0;
  std::u16string count_text;  // "人在线；共 %d 人。"; empty: "%d 人在线"
  bool expanded = true;
  std::vector<TreeItem> items;
  gfx::Rect rect;  // content coordinates of the header
};

class CScrollTree : public ScrollView {
 public:
  static constexpr int kSectionHeight = 50;
  static constexpr int kItemHeight = 70;
  // Where a row's new-message mark stands (row left + 255).
  static constexpr int kNewMarkX = 255;

  CScrollTree();
  ~CScrollTree() override { destroy(); }

  std::vector<TreeSection>& sections() { return sections_; }
  const std::vector<TreeSection>& sections() const { return sections_; }
  int add_section(TreeSection section);
  int add_item(int section, TreeItem item);
  void clear();

  int selected_section() const { return selected_section_; }
  int selected_item() const { return selected_item_; }
  void select(int section, int item) { selected_section_ = section, selected_item_ = item; }

  // The status cells, the new-message mark and the fold marks; not owned.
  void set_images(const gfx::CSkinImage* status, const gfx::CSkinImage* new_message,
                  const gfx::CSkinImage* fold);
  // The x of the status cell for a status (each cell 60 wide).
  static int status_cell(int status, bool mobile);

 protected:
  Hit hit_test(int content_y) const override;
  int layout_content() override;
  void draw_content(gfx::PixelCanvas& canvas, int offset) override;
  void tapped(Hit hit, int dx, platform::Point up) override;

 private:
  std::vector<TreeSection> sections_;
  int selected_section_ = -1, selected_item_ = -1;
  const gfx::CSkinImage* status_image_ = nullptr;
  const gfx::CSkinImage* new_image_ = nullptr;
  const gfx::CSkinImage* fold_image_ = nullptr;
  std::optional<platform::Font> caption_font_, count_font_, name_font_;
};

}  // namespace tavrin::controls
