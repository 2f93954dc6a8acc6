#include "server_process.h"

namespace tavrin::test {

ServerProcess::ServerProcess(std::vector<std::string> extraArgs)
    : dir_("tavrin-server-test"), dirName_(dir_.path.string()) {
  if (dirName_.empty()) return;
  std::vector<std::string> args = {TAVRIN_SERVER_BIN, "--data", dirName_,        "--nav-port", "0",
                                   "--sipc-port",     "0",      "--signin-port", "0"};
  for (auto& a : extraArgs) args.push_back(a);
  child_.start(std::move(args), {});
}

ServerProcess::~ServerProcess() = default;

}  // namespace tavrin::test
