// What the chat window and log viewer tests share: the client signed in as
// Alice against the real tavrin-server, a stand-in for the main window (its
// lists, pending lines and the routing of new-message notices, code 16, to
// the open chat window as the main window does), and Bob or Carol as
// tavrin-cli peers in their own processes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ScreenTest.h"
#include "bridge/EngineMessages.h"
#include "child_process.h"
#include "screens/chat/Outbox.h"
#include "screens/router/ChatLink.h"
#include "storage/ChatLogStore.h"

namespace tavrin::test {

inline constexpr long kAlice = 100000001, kBob = 100000002, kCarol = 100000003;

class FakeMainWindow : public screens::MainWindowLink {
 public:
  bool logged_in() const override { return true; }
  std::vector<screens::ChatListEntry> recent_contacts() const override { return recent; }
  std::vector<screens::ChatListEntry> conversations() const override { return talks; }
  std::vector<std::u16string> take_pending(long contact_id) override;
  void mark_read(long contact_id) override;
  std::uint64_t line_sending(long contact_id, const std::u16string& text,
                             std::int64_t rowid) override;

  // Code 16 from sender, as the main window routes it.
  void route(long sender);
  // A send result, as the main window settles the line it is about.
  void settle(const bridge::EngineMessage& result);

  screens::ChatWindow* chat = nullptr;
  std::vector<screens::ChatListEntry> recent, talks;
  std::map<long, std::vector<std::u16string>> pending;
  std::vector<long> read;
  screens::chat::Outbox outbox;
};

class ChatTest : public ScreenTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Extra flags for the server (its test switches).
  virtual std::vector<std::string> server_args() { return {}; }

  // A tavrin-cli peer signed in (its code 14 seen).
  std::unique_ptr<ChildProcess> peer(const std::string& user, const std::string& password);
  // The peer's next JSON line with that code (and text part, when given).
  static std::string wait_peer(ChildProcess& p, int code, const std::string& part = "");
  std::filesystem::path database() const { return data.path / "DB" / "TavrinLog.db"; }
  storage::ChatLogStore alice_log() const { return {database(), std::int32_t(kAlice)}; }
  std::string golden(const std::string& name);
  // Runs fn inside whichever modal loop is running once ready() holds (a
  // box that comes up after another one closed).
  void when_ready(std::function<bool()> ready, std::function<void()> fn);

  FakeMainWindow main;
  platform::WindowId main_window = 0;
};

}  // namespace tavrin::test
