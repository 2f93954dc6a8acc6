// What the client runs as its main window for the life of the process:
// CBriskLibTavrin, which runs the login screen first; without a successful
// login the process ends with 0 (the application's shut-down stops the
// engine). UI thread.
#pragma once

#include "screens/login/CLoginDlg.h"

namespace tavrin::shell {
class CBriskLibTavrinApp;
}

namespace tavrin::mainwnd {

int run_main_window(shell::CBriskLibTavrinApp& app, const screens::LoginConfig& login);

}  // namespace tavrin::mainwnd
