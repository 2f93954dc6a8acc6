// Chat and SMS tests against the real tavrin-server: the engine under test
// logs in as Alice in this process; Bob's engine runs in a peer process.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "eventually.h"
#include "im_recorder.h"
#include "libtavrin.h"
#include "peer_process.h"
#include "roster/engine_contacts.h"
#include "test_server.h"

namespace tavrin::test {

class ImTest : public ::testing::Test {
 protected:
  virtual std::vector<std::string> server_args() { return {}; }
  // False for a test that logs Alice in itself.
  virtual bool log_in_at_start() { return true; }

  void SetUp() override {
    server_ = std::make_unique<TestServer>(server_args());
    ASSERT_TRUE(server_->running());
    ASSERT_EQ(fx_init(), 1);
    ASSERT_EQ(fx_set_serve_address(server_->sipcAddress().c_str()), 1);
    if (!log_in_at_start()) return;
    ASSERT_EQ(fs_login("100000001", "alice123"), 1);
    fx_set_system_msg_cb(ImRecorder::callback, &rec_);
  }
  void TearDown() override {
    fx_set_system_msg_cb(nullptr, nullptr);
    fx_terminate();
    auto& state = contacts::EngineContacts::instance();
    auto lock = state.lock();
    state.reset();
  }

  std::unique_ptr<PeerProcess> start_bob() {
    auto bob = std::make_unique<PeerProcess>(TAVRIN_IM_PEER_BIN);
    EXPECT_EQ(bob->command("login 100000002 bob123 " + server_->sipcAddress()), "ok 1");
    return bob;
  }

  std::unique_ptr<TestServer> server_;
  ImRecorder rec_;  // outlives the engine's threads within a test
};

}  // namespace tavrin::test
