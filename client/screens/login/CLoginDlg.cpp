#include "screens/login/CLoginDlg.h"

namespace tavrin::screens {

CLoginDlg::CLoginDlg(LoginConfig config, controls::UiContext ui)
    : controls::Screen({.class_name = "CLoginDlg", .title = u"BriskTavrin"}, std::move(ui)),
      config_(std::move(config)) {}

CLoginDlg::~CLoginDlg() {
  destroy();
}

}  // namespace tavrin::screens
