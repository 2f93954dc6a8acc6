// The main window with 2,000 contacts in 40 buddy lists, signed in against
// tavrin-server on loopback, drawn without a display:
//   BM_TreeBuild       the tree from the engine's store (copy, sections, layout)
//   BM_FullFrame       a whole main-window frame, composed and presented
//   BM_ScrollFrame     one kinetic-scroll step's frame of the tree
//   BM_PresenceRepaint one contact's presence change on screen: items,
//                      counts and the repaint of its row and header
//   BM_TapContact      a tap on a contact to the chat's first frame with its
//                      lines, over a chat log of 1,000,000 lines (200 chats
//                      of 5,000): stylus down and up on the tree's row, the
//                      press effect's first frame, the chat window made, its
//                      history read and painted. Counters: the press effect's
//                      frames drawn before the chat showed (the action must
//                      not wait for the effect) and the lines the chat holds.
// and the process's resident memory once signed in and shown (counter
// rss_after_login_MiB on BM_TreeBuild). client_rss.sh measures the real
// client executable against the same account.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>

#include "libtavrin.h"
#include "mainwnd/CBriskLibTavrin.h"
#include "platform/display.h"
#include "platform/task_bar.h"
#include "platform/window_system.h"
#include "shell/app.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/theme_colors.h"
#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/HistoryDatabase.h"
#include "controls/PressEffect.h"
#include "screens/router/ChatLink.h"
#include "screens/router/ScreenRouter.h"
#include "platform/text_codec.h"
#include "large_account.h"
#include "sqlite_db.h"
#include "store.h"
#include "temp_dir.h"
#include "test_server.h"

namespace {

using namespace tavrin;

using bench::kOwner;
// The benchmarks' large account: 2,000 contacts in 40 lists (and 5 group chats).
const auto seed = bench::seed_large_account;

double rss_mib() {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      in >> kib;
      return kib / 1024.0;
    }
    std::getline(in, key);
  }
  return 0;
}

// Everything a signed-in client has, made once for all benchmarks.
struct Client {
  test::TestServer server{{}, seed};
  TempDir data{"tavrin-bench-mainwnd"};
  std::unique_ptr<platform::WindowSystem> ws = std::make_unique<platform::WindowSystem>();
  std::unique_ptr<platform::Display> display = std::make_unique<platform::Display>(*ws);
  std::unique_ptr<platform::TaskBar> bar = std::make_unique<platform::TaskBar>(*ws, *display);
  std::unique_ptr<mainwnd::CBriskLibTavrin> main;
  double rss = 0;
  bool ok = false;

  Client() {
    shell::app_paths() = shell::AppPaths::form(TAVRIN_INSTALL_DIR);
    shell::app_paths().database_path = shell::from_path(data.path / "TavrinLog.db");
    (void)shell::bitmap_font().load(shell::to_path(shell::app_paths().font_file_path).string());
    if (!server.running() || fx_init() != 1) return;
    fx_set_serve_address(server.sipcAddress().c_str());
    screens::wire_screens();
    mainwnd::CBriskLibTavrin::Options options;
    options.sign_in = [] { return fs_login(bench::kOwnerLogin, bench::kOwnerPassword) == 1; };
    main = std::make_unique<mainwnd::CBriskLibTavrin>(std::move(options));
    ok = main->start();
    for (int i = 0; i < 1000 && ws->pump(0); ++i) {
    }
    rss = rss_mib();
  }
  ~Client() {
    main.reset();
    fx_set_system_msg_cb(nullptr, nullptr);
    fx_terminate();
  }
};

Client& client() {
  static Client c;
  return c;
}

void BM_TreeBuild(benchmark::State& state) {
  Client& c = client();
  if (!c.ok) return state.SkipWithError("no signed-in client");
  for (auto _ : state) {
    c.main->model().build(mainwnd::read_store());
    c.main->tree().layout_only();
  }
  size_t items = 0;
  for (const auto& s : c.main->tree().sections()) items += s.items.size();
  state.counters["items"] = double(items);
  state.counters["sections"] = double(c.main->tree().sections().size());
  state.counters["rss_after_login_MiB"] = c.rss;
}
BENCHMARK(BM_TreeBuild)->Unit(benchmark::kMillisecond);

void BM_FullFrame(benchmark::State& state) {
  Client& c = client();
  if (!c.ok) return state.SkipWithError("no signed-in client");
  const uint64_t before = c.display->presents();
  for (auto _ : state) c.main->repaint_now();
  if (c.display->presents() == before) state.SkipWithError("nothing was presented");
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond);

void BM_ScrollFrame(benchmark::State& state) {
  Client& c = client();
  if (!c.ok) return state.SkipWithError("no signed-in client");
  auto& tree = c.main->tree();
  int offset = 0;
  for (auto _ : state) {
    offset = (offset + 37) % 60000;
    tree.scroller().set_offset(offset);
    tree.paint();
  }
}
BENCHMARK(BM_ScrollFrame)->Unit(benchmark::kMicrosecond);

void BM_PresenceRepaint(benchmark::State& state) {
  Client& c = client();
  if (!c.ok) return state.SkipWithError("no signed-in client");
  c.main->tree().scroller().set_offset(0);
  c.main->repaint_now();
  // The first contact of the first list: its row and header are in view.
  const auto& list = c.main->tree().sections()[1];
  const auto& item = list.items.front();
  mainwnd::ContactRecord contact{item.contact_id, item.group_id, item.name, 68, false};
  const uint64_t before = c.display->presents();
  bool online = false;
  for (auto _ : state) {
    online = !online;
    contact.status = online ? 66 : 68;
    c.main->contact_updated(contact);
  }
  state.counters["presents_per_change"] =
      double(c.display->presents() - before) / double(state.iterations());
}
BENCHMARK(BM_PresenceRepaint)->Unit(benchmark::kMicrosecond);

// The chat log as a long-used client has it: 1,000,000 lines over the
// first 200 contacts of the tree, in the table and with the contact index
// the client makes.
bool seed_history(const std::vector<uint32_t>& contacts) {
  const std::filesystem::path db_path = shell::to_path(shell::app_paths().database_path);
  storage::ChatLogStore log(db_path, std::int32_t(kOwner));
  if (contacts.empty() || !log.append(std::int32_t(contacts[0]), u"first", u"09:00:00"))
    return false;
  storage::CppSQLite3Database db;
  storage::openHistoryDatabase(db, db_path);
  db.execute(u"begin;");
  db.execute(u"create temp table chats (n integer primary key, key text);");
  for (size_t n = 0; n < contacts.size(); ++n)
    db.execute(u"insert into chats values (?, ?);",
               {platform::utf8_to_utf16(std::to_string(n)),
                storage::ChatLogStore::contactKey(std::int32_t(contacts[n]))});
  db.execute(u"with recursive line(i) as (select 1 union all select i + 1 from line "
             u"where i < 999999) insert into " +
             log.table() +
             u" select chats.key, '机主：明天下午三点在老地方见 line ' || i || ' 别忘了带书', "
             u"'10:00:00' from line join chats on chats.n = line.i % " +
             platform::utf8_to_utf16(std::to_string(contacts.size())) + u";");
  db.execute(u"commit;");
  db.close();
  return true;
}

// Notes the first frame the chat window presents after a tap, then closes it.
struct ChatWatch final : platform::FrameSink {
  Client& c;
  std::chrono::steady_clock::time_point shown{};
  bool armed = false;
  explicit ChatWatch(Client& client) : c(client) {}
  void show_frame(const uint16_t*, int, int) override {
    if (!armed || !c.main->chat() || !c.ws->exists(c.main->chat()->window())) return;
    armed = false;
    shown = std::chrono::steady_clock::now();
    const platform::WindowId w = c.main->chat()->window();
    c.ws->post_call([&c = c, w] { c.ws->end_modal(w, 0); });
  }
};

void BM_TapContact(benchmark::State& state) {
  Client& c = client();
  if (!c.ok) return state.SkipWithError("no signed-in client");
  auto& tree = c.main->tree();
  tree.scroller().set_offset(0);
  c.main->repaint_now();
  // The first contact who can chat (one that has not accepted the user
  // gets a box instead), scrolled into view.
  const controls::TreeItem* item = nullptr;
  for (const auto& s : tree.sections()) {
    if (!s.expanded) continue;
    for (const auto& i : s.items)
      if (i.status != 75 && i.contact_id != uint32_t(kOwner)) {
        item = &i;
        break;
      }
    if (item) break;
  }
  if (!item) return state.SkipWithError("no contact to chat with in the tree");
  std::vector<uint32_t> contacts{item->contact_id};
  for (const auto& s : tree.sections())
    for (const auto& i : s.items)
      if (contacts.size() < 200 && i.contact_id != item->contact_id)
        contacts.push_back(i.contact_id);
  static bool seeded = false;
  if (!seeded && !(seeded = seed_history(contacts)))
    return state.SkipWithError("could not seed the chat log");
  const uint32_t chosen = item->contact_id;
  // Where the chosen contact's row is on the display now, scrolled into view.
  auto row_point = [&]() -> platform::Point {
    tree.layout_only();
    for (const auto& s : tree.sections())
      for (const auto& i : s.items)
        if (s.expanded && i.contact_id == chosen) {
          tree.scroll_to(i.rect.top - controls::CScrollTree::kSectionHeight);
          c.main->repaint_now();
          return {200, tree.view().top + i.rect.top - tree.scroller().offset() +
                           i.rect.height() / 2};
        }
    return {-1, -1};
  };
  ChatWatch watch(c);
  c.display->set_sink(&watch);
  int effect_frames = 0, lines = 0;
  for (auto _ : state) {
    const platform::Point p = row_point();
    if (p.x < 0) return state.SkipWithError("the contact left the tree");
    const int before = int(c.display->presents());
    watch.armed = true;
    const auto t0 = std::chrono::steady_clock::now();
    c.ws->stylus(platform::StylusAction::kDown, p);
    c.ws->stylus(platform::StylusAction::kUp, p);
    const int after_tap = int(c.display->presents());
    const auto limit = t0 + std::chrono::seconds(20);
    while (watch.armed && std::chrono::steady_clock::now() < limit) c.ws->pump(5);
    if (watch.armed) return state.SkipWithError("the chat did not show");
    state.SetIterationTime(std::chrono::duration<double>(watch.shown - t0).count());
    effect_frames += after_tap - before;
    // Back on the main window with the effect played out, untimed.
    for (int i = 0; i < 100 && c.ws->pump(0); ++i) {
    }
    while (controls::PressEffect::running()) c.ws->pump(20);
  }
  c.display->set_sink(nullptr);
  lines = 1000000 / int(contacts.size());
  state.counters["presents_before_chat"] = double(effect_frames) / double(state.iterations());
  state.counters["chat_lines"] = lines;
}
BENCHMARK(BM_TapContact)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

// "--seed DIR" only writes the same account into DIR/tavrin-server.db, for
// measuring the real client against it (client_rss.sh).
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--seed") {
    server::Store store(std::string(argv[2]) + "/tavrin-server.db", "tavrin.local");
    seed(store);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
