#include "main_window_fixture.h"

#include "bridge/EngineBridge.h"
#include "controls/CMsgBoxDlg.h"
#include "libtavrin.h"
#include "shell/client_settings.h"
#include "sqlite_db.h"

namespace tavrin::test {

using namespace platform;
using controls::CMsgBoxDlg;

void MainWindowTest::SetUp() {
  ScreenTest::SetUp();
  start_server();
  shell::client_settings().sound = 1;
  // A box gets its answer as soon as it is the active window.
  ws->add_observer([this] {
    const WindowId box = ws->active();
    if (!box || answered_.count(box) || ws->class_name(box) != "CMsgBoxDlg") return;
    answered_.insert(box);
    ++boxes_answered;
    if (answer_by_ticks)
      for (int i = 0; i < CMsgBoxDlg::kCountdown; ++i)
        ws->post(box, msg::kTimer, CMsgBoxDlg::kTimerId);
    // A two-button box takes the first tap, a one-button box the second;
    // the box is gone before a tap it does not need arrives.
    const Point first = (answer ? CMsgBoxDlg::kOk : CMsgBoxDlg::kCancel).centre();
    ws->post(box, msg::kStylusUp, 0, point_lparam(first.x, first.y));
    const Point only = CMsgBoxDlg::kOkOnly.centre();
    ws->post(box, msg::kStylusUp, 0, point_lparam(only.x, only.y));
  });
}

void MainWindowTest::TearDown() {
  main.reset();
  ScreenTest::TearDown();
}

void MainWindowTest::open_main(const std::string& user, const std::string& password) {
  mainwnd::CBriskLibTavrin::Options options;
  options.sign_in = [this, user, password] {
    fx_set_login_status(66);  // as the login screen does: online
    return sign_in(user, password);
  };
  main = std::make_unique<mainwnd::CBriskLibTavrin>(std::move(options));
  ASSERT_TRUE(main->start()) << "signing in failed";
  mainwnd::Notifier::Services services;
  services.play_sound = [this](const std::string& wav) {
    sounds.push_back(wav);
    return true;
  };
  services.set_timer = [this](WindowId w, uintptr_t id, int ms) { ws->set_timer(w, id, ms); };
  services.kill_timer = [this](WindowId w, uintptr_t id) { ws->kill_timer(w, id); };
  main->notifier().set_services(services);
  settle();
}

void MainWindowTest::engine(int code, intptr_t p1, intptr_t p2) {
  ws->post(main->window(), bridge::kEngineBase + uint32_t(code), uintptr_t(p1), p2);
  settle();
}

const controls::TreeSection* MainWindowTest::section(std::u16string_view caption) const {
  for (const auto& s : main->tree().sections())
    if (s.caption == caption) return &s;
  return nullptr;
}

const controls::TreeItem* MainWindowTest::item(std::u16string_view caption, long id) const {
  if (const auto* s = section(caption))
    for (const auto& i : s->items)
      if (long(i.contact_id) == id) return &i;
  return nullptr;
}

Point MainWindowTest::row_of(std::u16string_view caption, long id) {
  const auto* i = item(caption, id);
  if (!i) return {};
  auto& tree = main->tree();
  const int offset = tree.scroller().offset();
  if (i->rect.top < offset || i->rect.bottom > offset + tree.view().height()) {
    tree.scroll_to(i->rect.top - controls::CScrollTree::kSectionHeight);
    main->repaint_now();
  }
  const int top = tree.view().top + i->rect.top - tree.scroller().offset();
  return {200, top + i->rect.height() / 2};
}

bool MainWindowTest::saw_box(std::u16string_view text) const {
  for (const auto& b : main->boxes())
    if (b.text == text) return true;
  return false;
}

Point MainWindowTest::menu_item(int index) const {
  const auto& items = main->menu().items();
  return index < int(items.size()) ? items[size_t(index)].rect.centre() : Point{};
}

long long MainWindowTest::server_count(const std::string& sql, long a, long b) {
  server::Db db(server_data() + "/tavrin-server.db");
  auto& s = db.sql(sql.c_str());
  s.bind(1, a).bind(2, b);
  return s.step() ? s.integer(0) : -1;
}

}  // namespace tavrin::test
