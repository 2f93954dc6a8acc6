// CInputBox: the modal one-line input box: a prompt, a CEditWnd and the
// buttons "确定" and "取消" on a panel over the dimmed screen, with the
// shell's bars hidden while it shows. "确定" returns 1 and keeps the
// entered text; "取消" returns 0. UI thread only.
#pragma once

#include <string>

#include "controls/CEditWnd.h"
#include "controls/Screen.h"
#include "gfx/CSurface.h"

namespace tavrin::controls {

class CInputBox : public Screen {
 public:
  static constexpr gfx::Rect kEditRect{60, 220, 420, 270};
  static constexpr gfx::Rect kOk{80, 335, 200, 382};
  static constexpr gfx::Rect kCancel{280, 335, 400, 382};
  static constexpr size_t kMaxLength = 64;

  CInputBox();
  ~CInputBox() override { destroy(); }

  void create(platform::WindowId owner = 0) { set_owner(owner); }
  void set_prompt(std::u16string prompt) { prompt_ = std::move(prompt); }
  int run_modal();
  const std::u16string& text() const { return text_; }
  void set_text(std::u16string text) { text_ = std::move(text); }

  CEditWnd& edit() { return edit_; }

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_tap(Point p) override;

 private:
  std::u16string prompt_ = u"请输入你所要的内容：";
  std::u16string text_;
  CEditWnd edit_;
  gfx::CSurface behind_;
};

}  // namespace tavrin::controls
