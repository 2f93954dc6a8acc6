// CBriskThemeList: the installed theme packages ("更多主题"): the preview of
// the package in use above the list, one row per package folder; a tapped
// row, or "确定" with a row selected, opens its preview screen. "退出"
// closes the list with 1 when a package was installed meanwhile, else 0.
// UI thread only.
#pragma once

#include <optional>
#include <vector>

#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "platform/image.h"
#include "screens/theme/ThemePackages.h"

namespace tavrin::screens {

class CBriskThemeList : public controls::Screen {
 public:
  static constexpr controls::Rect kCurrent{10, 56, 58, 136};  // window coordinates
  static constexpr controls::Rect kList{0, 140, 480, 645};
  static constexpr int kRowHeight = 90;
  static constexpr uintptr_t kListId = 49;

  explicit CBriskThemeList(std::filesystem::path install_folder,
                           controls::UiContext ui = controls::UiContext::current());
  ~CBriskThemeList() override;

  int run_modal();

  const std::vector<ThemePackageEntry>& packages() const { return packages_; }
  bool installed() const { return installed_; }

  // A row chosen: its preview screen.
  void open_package(int index);

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_command(int command) override;
  enum Command { kOk = 1, kExit };
  intptr_t on_message(const platform::Message& m) override;

 private:
  void read_current();

  std::filesystem::path install_folder_;
  std::vector<ThemePackageEntry> packages_;
  std::optional<platform::ArgbImage> current_;
  int selected_ = -1;
  bool installed_ = false;
  controls::CScrollList list_{kRowHeight};
};

}  // namespace tavrin::screens
