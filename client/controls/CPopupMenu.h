// CPopupMenu: the skinned pop-up menu. While shown it takes over its owner
// window's handler (the owner gets no stylus messages of its own; every
// other message still reaches it), draws itself over the saved screen area,
// follows the stylus with its highlight, and closes on stylus up: on an
// item it plays the press effect and posts 8009 (item index, menu id) to
// the owner, anywhere else it closes without a command. One menu is shown
// at a time in the process. Rectangles are screen coordinates.
//
// The owner keeps the menu object (it must outlive the showing; destroying
// a shown menu closes it). UI thread only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gfx/CSurface.h"
#include "gfx/Rect.h"
#include "platform/font.h"
#include "platform/window_system.h"

namespace tavrin::controls {

class CPopupMenu {
 public:
  static constexpr int kDefaultId = 888;
  static constexpr int kTitleHeight = 50;
  static constexpr int kItemHeight = 50;

  struct Item {
    std::u16string text;
    gfx::Rect rect;
    bool highlighted = false;
  };

  CPopupMenu() = default;
  ~CPopupMenu();
  CPopupMenu(const CPopupMenu&) = delete;
  CPopupMenu& operator=(const CPopupMenu&) = delete;

  void clear();  // no items, id 888, nothing chosen
  void set_rect(const gfx::Rect& r) { rect_ = r; }
  void set_id(int id) { id_ = id; }
  void set_title(std::u16string title) { title_ = std::move(title); }
  void add_item(std::u16string text, const gfx::Rect& rect);
  // The next 50-pixel row below the title and the items so far.
  void add_item(std::u16string text);
  // Shows the menu over owner; false when it could not take the owner's
  // handler (it is then drawn but cannot be used).
  bool show(platform::WindowId owner);
  void close();

  bool shown() const { return shown_; }
  int id() const { return id_; }
  int chosen() const { return chosen_; }
  const gfx::Rect& rect() const { return rect_; }
  const std::vector<Item>& items() const { return items_; }
  static CPopupMenu* current() { return current_; }

 private:
  intptr_t handle(const platform::Message& m);
  int hit(platform::Point screen) const;
  bool highlight(int index);  // true when it changed
  void paint();

  gfx::Rect rect_{75, 110, 275, 460};
  int id_ = kDefaultId;
  std::u16string title_;
  std::vector<Item> items_;
  int chosen_ = -1;
  bool shown_ = false;
  platform::WindowId owner_ = 0;
  platform::Handler owner_handler_;
  gfx::CSurface saved_, canvas_;
  std::optional<platform::Font> title_font_, item_font_;
  static inline CPopupMenu* current_ = nullptr;  // UI thread
};

}  // namespace tavrin::controls
