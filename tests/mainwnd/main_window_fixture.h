// MainWindowTest: the main window signed in against the real tavrin-server
// (demo world) without a display. Boxes the window opens are answered as
// the test says (a tap on "确定" or "取消", or the five ticks of a timed
// box), new-message sounds are recorded, and engine messages can be put in
// the window's queue as the engine bridge would post them.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ScreenTest.h"
#include "mainwnd/CBriskLibTavrin.h"

namespace tavrin::test {

class MainWindowTest : public ScreenTest {
 protected:
  static constexpr long kAlice = 100000001, kBob = 100000002, kCarol = 100000003, kDave = 100000004,
                        kEcho = 100000009;

  void SetUp() override;
  void TearDown() override;

  // Signs the user in and brings the main window up, active.
  void open_main(const std::string& user = "100000001", const std::string& password = "alice123");
  // An engine message in the window's queue, then settled.
  void engine(int code, intptr_t p1 = 0, intptr_t p2 = 0);

  const controls::TreeSection* section(std::u16string_view caption) const;
  const controls::TreeItem* item(std::u16string_view caption, long id) const;
  // The screen point at the middle of the contact's row in that section,
  // scrolled into view.
  platform::Point row_of(std::u16string_view caption, long id);
  bool saw_box(std::u16string_view text) const;
  // The screen point of a menu item of the shown menu.
  platform::Point menu_item(int index) const;
  // Whether the server's data holds a row for this query with two numbers.
  long long server_count(const std::string& sql, long a, long b);

  std::unique_ptr<mainwnd::CBriskLibTavrin> main;
  int answer = 1;                // boxes: 1 "确定", 0 "取消"
  bool answer_by_ticks = false;  // timed boxes: five ticks of timer 125
  int boxes_answered = 0;
  std::vector<std::string> sounds;

 private:
  std::set<platform::WindowId> answered_;
};

}  // namespace tavrin::test
