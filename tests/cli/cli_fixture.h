// The tavrin-cli journeys' fixture: the real tavrin-server with its demo
// world on loopback (ports 0, a temporary data folder, stopped by pid) and
// tavrin-cli processes driven through their standard input, every read with
// a bounded time-out; CliOutageTest adds a kill -9 and a restart of the
// server on the same SIP-C port and data folder.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"

namespace tavrin::test {

using namespace std::chrono_literals;
inline constexpr auto kLimit = 60s;

inline bool has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}
// An engine message line of --json output: it opens with its code.
inline bool is_message(const std::string& line, int code) {
  return line.rfind("{\"code\":" + std::to_string(code) + ",", 0) == 0;
}
inline bool is_result(const std::string& line, const std::string& name) {
  return has(line, "\"result\":\"" + name + "\"");
}

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-cli-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    server_ = std::make_unique<ChildProcess>(
        TAVRIN_SERVER_BIN, std::vector<std::string>{"--data", dir_, "--demo", "--nav-port", "0",
                                                    "--sipc-port", "0", "--no-signin"});
    ASSERT_TRUE(server_->started());
    const auto line = server_->read_until(
        [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit);
    ASSERT_TRUE(line) << "no port line";
    std::smatch m;
    ASSERT_TRUE(std::regex_search(*line, m, std::regex("sipc=([0-9]+)")));
    sipc_ = "127.0.0.1:" + m[1].str();
  }
  void TearDown() override {
    server_.reset();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  std::unique_ptr<ChildProcess> cli(const std::string& user, const std::string& password,
                                    bool json = true) {
    std::vector<std::string> args{"--server", sipc_, "--user", user, "--password", password};
    if (json) args.push_back("--json");
    auto p = std::make_unique<ChildProcess>(TAVRIN_CLI_BIN, args);
    EXPECT_TRUE(p->started());
    return p;
  }
  // Logs in and waits for 14.
  std::unique_ptr<ChildProcess> signed_in(const std::string& user, const std::string& password) {
    auto p = cli(user, password);
    EXPECT_TRUE(p->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
        << p->transcript();
    return p;
  }
  // Sends "wait CODE" and returns the message line that satisfied it.
  static std::string wait_for(ChildProcess& p, int code) {
    p.write_line("wait " + std::to_string(code) + " 30");
    std::string message;
    const auto done = p.read_until(
        [&](const std::string& l) {
          if (is_message(l, code)) message = l;
          return is_result(l, "wait");
        },
        kLimit);
    EXPECT_TRUE(done && has(*done, "\"ok\":true")) << "wait " << code << "\n" << p.transcript();
    if (message.empty()) {
      // It arrived before the wait: find it in what was read so far.
      std::istringstream all(p.transcript());
      for (std::string l; std::getline(all, l);)
        if (is_message(l, code)) message = l;
    }
    return message;
  }
  static std::string command(ChildProcess& p, const std::string& line, const std::string& result) {
    p.write_line(line);
    const auto r = p.read_until([&](const std::string& l) { return is_result(l, result); }, kLimit);
    EXPECT_TRUE(r) << line << "\n" << p.transcript();
    return r.value_or("");
  }

  std::string dir_;
  std::string sipc_;
  std::unique_ptr<ChildProcess> server_;
};

// The fixture's server, killed with SIGKILL and started again on the same
// SIP-C port and data folder.
class CliOutageTest : public CliTest {
 protected:
  void kill_server() {
    server_->send_signal(SIGKILL);
    server_->wait_exit(kLimit);
    server_.reset();
  }
  void restart_server() {
    const std::string port = sipc_.substr(sipc_.rfind(':') + 1);
    server_ = std::make_unique<ChildProcess>(
        TAVRIN_SERVER_BIN, std::vector<std::string>{"--data", dir_, "--nav-port", "0",
                                                    "--sipc-port", port, "--no-signin"});
    ASSERT_TRUE(server_->read_until(
        [](const std::string& l) { return has(l, "tavrin-server listening"); }, kLimit));
  }
  // A --json CLI whose stderr remarks come interleaved with its output.
  std::unique_ptr<ChildProcess> cli_with_remarks(const std::string& user,
                                                 const std::string& password,
                                                 std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--server",   sipc_,    "--user", user,
                                  "--password", password, "--json"};
    args.insert(args.end(), more.begin(), more.end());
    auto p = std::make_unique<ChildProcess>(TAVRIN_CLI_BIN, args, std::vector<std::string>{}, true);
    EXPECT_TRUE(p->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
        << p->transcript();
    return p;
  }
};

}  // namespace tavrin::test
