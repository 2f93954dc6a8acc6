#include "mainwnd/main_window_run.h"

#include "platform/window_system.h"
#include "screens/router/ScreenRouter.h"
#include "shell/app.h"
#include "shell/background_window.h"

namespace tavrin::mainwnd {

int run_main_window(shell::CBriskLibTavrinApp& app, const screens::LoginConfig& login) {
  screens::wire_screens();
  {
    screens::CLoginDlg dialog(login);
    dialog.run_modal();
    if (!dialog.login_succeeded()) return 0;
  }
  // Signed in: the theme's background stands in until the main window runs here.
  shell::BackgroundWindow first(
      app.windows(), app.display(), [&app] { app.activate_running_instance(); },
      [&app](bool active) {
        if (platform::WindowId icon = app.task_bar_icon()) app.windows().show(icon, !active);
      });
  return first.run_modal();
}

}  // namespace tavrin::mainwnd
