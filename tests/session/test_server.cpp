#include "test_server.h"

#include <fstream>
#include <sstream>

#include "demo_seed.h"
#include "store.h"

namespace tavrin::test {

TestServer::TestServer(std::vector<std::string> extra, const Seed& seed, bool demo)
    : scratch_("tavrin-session"), dir_(scratch_.path.string()) {
  if (dir_.empty()) return;
  {
    tavrin::server::Store store(dbPath(), "tavrin.local");
    if (demo) tavrin::server::seedDemo(store);
    if (seed) seed(store);
  }
  std::vector<std::string> args = {TAVRIN_SERVER_BIN, "--data", dir_,          "--nav-port", "0",
                                   "--sipc-port",     "0",      "--no-signin", "-vv"};
  for (auto& a : extra) args.push_back(a);
  child_.start(std::move(args), {.stderr_path = dir_ + "/server.log", .die_with_parent = true});
}

std::string TestServer::log() const {
  std::ifstream in(dir_ + "/server.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TestServer::~TestServer() = default;

}  // namespace tavrin::test
