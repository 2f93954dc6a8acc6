// CScrollList: the plain kinetic list other screens use (rows without
// sections: chat lines, log entries, pickers). It scrolls exactly as the
// contact tree does; its inertia thread sends 8002 with the list's id, and a
// tap on a row posts the message and wParam its owner chose, with the row's
// value in lParam. Rows are drawn by the owner's painter, or as one line of
// text. UI thread only; see ScrollView for how the owner drives it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "controls/ScrollView.h"
#include "platform/font.h"

namespace tavrin::controls {

struct ListRow {
  std::u16string text;
  intptr_t value = 0;
  int height = 0;  // 0: the list's row height
};

class CScrollList : public ScrollView {
 public:
  // canvas, row, its rectangle on the canvas, whether it is selected.
  using RowPainter =
      std::function<void(gfx::PixelCanvas&, const ListRow&, const gfx::Rect&, bool selected)>;

  explicit CScrollList(int row_height = 70);
  ~CScrollList() override { destroy(); }

  int add_row(ListRow row);
  std::vector<ListRow>& rows() { return rows_; }
  void clear();
  // What a tap posts to the owner: message, wParam, and the row's value.
  void set_tap_message(uint32_t message, uintptr_t wparam = 0);
  void set_row_painter(RowPainter painter) { painter_ = std::move(painter); }
  int selected_row() const { return selected_; }

 protected:
  Hit hit_test(int content_y) const override;
  int layout_content() override;
  void draw_content(gfx::PixelCanvas& canvas, int offset) override;
  void tapped(Hit hit, int dx, platform::Point up) override;

 private:
  int row_height_;
  std::vector<ListRow> rows_;
  std::vector<int> tops_;  // content y of each row, and the end
  int selected_ = -1;
  uint32_t tap_message_ = 0;
  uintptr_t tap_wparam_ = 0;
  RowPainter painter_;
  std::optional<platform::Font> font_;
};

}  // namespace tavrin::controls
