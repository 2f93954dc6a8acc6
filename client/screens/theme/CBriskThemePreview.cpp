#include "screens/theme/CBriskThemePreview.h"

#include "controls/CMsgBoxDlg.h"
#include "screens/files/ScreenFrame.h"
#include "screens/theme/ThemeInstaller.h"
#include "shell/app_paths.h"

namespace tavrin::screens {

using namespace platform;

CBriskThemePreview::CBriskThemePreview(ThemePackageEntry package,
                                       std::filesystem::path install_folder, controls::UiContext ui)
    : controls::Screen({.class_name = "CBriskThemePreview", .title = package.name}, std::move(ui)),
      package_(std::move(package)),
      install_folder_(std::move(install_folder)) {
  set_frame(
      {.title = package_.name,
       .keys = {{u"应用", controls::kLeftKey, kApply}, {u"取消", controls::kRightKey, kCancel}}});
}

CBriskThemePreview::~CBriskThemePreview() {
  destroy();
}

int CBriskThemePreview::run_modal() {
  const int code = controls::Screen::run_modal();
  destroy();
  return code == 1 ? 1 : 0;
}

bool CBriskThemePreview::on_create() {
  picture_ = decode_png_file(package_.preview().string());
  return true;
}

void CBriskThemePreview::apply() {
  const ThemeInstall done = install_theme_package(package_.package(), install_folder_);
  if (!done.ok) {
    refusal_ = done.refusal;
    controls::CMsgBoxDlg::show(window(), refusal_, u"塔文提示");
    return;
  }
  // The new look at once: the theme file the package brought.
  (void)shell::load_theme(install_folder_ / kThemeFileName, *ui().theme);
  end_modal(1);
}

void CBriskThemePreview::on_command(int command) {
  if (command == kApply) apply();
  if (command == kCancel) end_modal(0);
}

void CBriskThemePreview::on_paint(gfx::Painter& p) {
  const auto& t = theme();
  ScreenFrame::background(p, t);
  if (picture_) {
    const controls::Rect r = controls::Rect::from_size(240 - picture_->width / 2, kPicture.top,
                                                       picture_->width, picture_->height);
    p.image_scaled(*picture_, r);
  } else {
    p.text(u"没有预览图", kPicture, 26, t.bg_text_color,
           text::kCenter | text::kVCenter | text::kSingleLine);
  }
}

}  // namespace tavrin::screens
