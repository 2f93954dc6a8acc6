#include "mainwnd/main_window_run.h"

#include "mainwnd/CBriskLibTavrin.h"
#include "screens/router/ScreenRouter.h"
#include "shell/app.h"

namespace tavrin::mainwnd {

int run_main_window(shell::CBriskLibTavrinApp&, const screens::LoginConfig& login) {
  screens::wire_screens();
  CBriskLibTavrin::Options options;
  options.login = login;
  CBriskLibTavrin main(std::move(options));
  return main.run();
}

}  // namespace tavrin::mainwnd
