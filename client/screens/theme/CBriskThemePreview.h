// CBriskThemePreview: one theme package's "PreSee.png" full size, with
// "应用" (install the package, then load its theme; closes with 1) and
// "取消" (closes with 0). A refused package shows the reason in a box and
// the preview stays open. UI thread only.
#pragma once

#include <optional>
#include <string>

#include "controls/Screen.h"
#include "platform/image.h"
#include "screens/theme/ThemePackages.h"

namespace tavrin::screens {

class CBriskThemePreview : public controls::Screen {
 public:
  static constexpr controls::Rect kPicture{120, 80, 360, 480};  // window coordinates

  CBriskThemePreview(ThemePackageEntry package, std::filesystem::path install_folder,
                     controls::UiContext ui = controls::UiContext::current());
  ~CBriskThemePreview() override;

  int run_modal();
  const std::u16string& refusal() const { return refusal_; }

  void apply();

 protected:
  bool on_create() override;
  void on_paint(gfx::Painter& p) override;
  void on_command(int command) override;
  enum Command { kApply = 1, kCancel };

 private:
  ThemePackageEntry package_;
  std::filesystem::path install_folder_;
  std::optional<platform::ArgbImage> picture_;
  std::u16string refusal_;
};

}  // namespace tavrin::screens
