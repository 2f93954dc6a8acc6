// CBriskOpenFileDlg: the full-screen picker for one image file. It browses
// the device's folders from the root (the file system's root here),
// opening in the user's home folder: the path list in the left column leads
// back up ("设备" first), the content list beside it holds the folders and
// image files of the current folder (a hint when it has none),
// a tapped image is previewed below the path list, "确定" takes the
// selected file (refused with a box when none is selected) and "退出"
// leaves without one. The opener reads result() after a run of 1.
// UI thread only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "platform/image.h"
#include "screens/files/FolderListing.h"
#include "screens/files/ScreenFrame.h"

namespace tavrin::screens {

class CBriskOpenFileDlg : public controls::Screen {
 public:
  // Window coordinates.
  static constexpr controls::Rect kPathColumn{0, 60, 120, 456};
  static constexpr int kPathRow = 66;
  static constexpr controls::Rect kPreview{4, 462, 116, 684};
  static constexpr controls::Rect kContent{120, 60, 478, 684};
  static constexpr int kItemHeight = 90;
  static constexpr uintptr_t kListId = 48;

  // Browses the tree below root, opening in start (root when empty).
  explicit CBriskOpenFileDlg(std::filesystem::path root = device_root(),
                             controls::UiContext ui = controls::UiContext::current(),
                             std::filesystem::path start = start_folder());
  ~CBriskOpenFileDlg() override;

  // 1 when a file was confirmed (see result()), else 0.
  int run_modal();
  const std::filesystem::path& result() const { return result_; }

  // What the screen shows, for tests.
  const std::filesystem::path& folder() const { return folder_; }
  const std::vector<FolderEntry>& entries() const { return entries_; }
  const std::vector<std::filesystem::path>& path_list() const { return path_list_; }
  int selected() const { return selected_; }

  // The taps, as the screen handles them.
  void open_folder(const std::filesystem::path& folder);
  void choose(int index);
  void confirm();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_stylus(platform::StylusAction action, controls::Point p) override;
  intptr_t on_message(const platform::Message& m) override;

 private:
  void fill_list();
  void paint_row(gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r,
                 bool selected);

  std::filesystem::path root_, start_, folder_, result_;
  std::vector<FolderEntry> entries_;
  std::vector<std::filesystem::path> path_list_;  // root first
  int selected_ = -1;
  std::optional<platform::ArgbImage> preview_;
  controls::CScrollList list_{kItemHeight};
};

}  // namespace tavrin::screens
