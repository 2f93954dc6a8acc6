// The main window with 2,000 contacts in 40 buddy lists, signed in against
// tavrin-server on loopback, drawn without a display:
//   BM_TreeBuild       the tree from the engine's store (copy, sections, layout)
//   BM_FullFrame       a whole main-window frame, composed and presented
//   BM_ScrollFrame     one kinetic-scroll step's frame of the tree
//   BM_PresenceRepaint one contact's presence change on screen: items,
//                      counts and the repaint of its row and header
// and the process's resident memory once signed in and shown (counter
// rss_after_login_MiB on BM_TreeBuild). client_rss.sh measures the real
// client executable against the same account.
#include <benchmark/benchmark.h>

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
