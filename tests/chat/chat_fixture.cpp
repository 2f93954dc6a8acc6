#include "chat_fixture.h"

#include <chrono>
#include <thread>

#include "bridge/EngineBridge.h"
#include "libtavrin.h"
#include "screens/chat/ChatLines.h"

namespace tavrin::test {

std::vector<std::u16string> FakeMainWindow::take_pending(long contact_id) {
  auto lines = std::move(pending[contact_id]);
  pending.erase(contact_id);
  return lines;
}

void FakeMainWindow::mark_read(long contact_id) {
  read.push_back(contact_id);
  for (auto& e : recent)
    if (e.contact_id == contact_id) e.new_message = false;
}

std::uint64_t FakeMainWindow::line_sending(long contact_id, const std::u16string& text,
                                           std::int64_t rowid) {
  return outbox.add(contact_id, text, rowid);
}

void FakeMainWindow::settle(const bridge::EngineMessage& result) {
  if (auto settled = outbox.on_result(result.code(), result.contact(), result.record())) {
    const storage::ChatLogStore log = screens::chat::signed_in_chat_log();
    screens::chat::show_settled(*settled, &log, chat);
  }
}

void FakeMainWindow::route(long sender) {
  const bool shown = chat && chat->contact_id() == sender;
  bool listed = false;
  for (auto& e : recent)
    if (e.contact_id == sender) e.new_message = !shown, listed = true;
  if (!listed)
    recent.insert(recent.begin(), {sender, sender == kCarol ? u"Carol" : u"Bob", !shown});
  if (chat) chat->notify(sender, u"");
}

void ChatTest::SetUp() {
  ScreenTest::SetUp();
  start_server(server_args());
  ASSERT_TRUE(sign_in("100000001", "alice123"));
  platform::WindowSpec spec;
  spec.class_name = "FakeMainWindow";
  spec.rect = {0, 0, 1, 1};
  spec.visible = false;
  spec.handler = [this](const platform::Message& m) -> intptr_t {
    if (!bridge::is_engine_message(m.id)) return 0;
    bridge::EngineMessage message(bridge::engine_code(m.id), intptr_t(m.wparam), m.lparam);
    if (message.code() == 16) main.route(message.contact());
    if (bridge::is_send_result(message.code())) main.settle(message);
    return 1;
  };
  main_window = ws->create(std::move(spec));
  fx_set_system_msg_cb(bridge::post_callback, bridge::user_data(main_window));
}

void ChatTest::TearDown() {
  fx_set_system_msg_cb(nullptr, nullptr);
  ScreenTest::TearDown();
}

std::unique_ptr<ChildProcess> ChatTest::peer(const std::string& user, const std::string& password) {
  auto p = std::make_unique<ChildProcess>(
      TAVRIN_CLI_BIN, std::vector<std::string>{"--server", sipc_address(), "--user", user,
                                               "--password", password, "--json"});
  EXPECT_TRUE(p->started());
  EXPECT_TRUE(p->read_until([](const std::string& l) { return l.rfind("{\"code\":14,", 0) == 0; },
                            std::chrono::seconds(30)))
      << p->transcript();
  return p;
}

std::string ChatTest::wait_peer(ChildProcess& p, int code, const std::string& part) {
  const std::string head = "{\"code\":" + std::to_string(code) + ",";
  auto line = p.read_until(
      [&](const std::string& l) {
        return l.rfind(head, 0) == 0 && (part.empty() || l.find(part) != std::string::npos);
      },
      std::chrono::seconds(30));
  EXPECT_TRUE(line) << "no code " << code << " " << part << "\n" << p.transcript();
  return line.value_or("");
}

void ChatTest::when_ready(std::function<bool()> ready, std::function<void()> fn) {
  auto poll = std::make_shared<std::function<void()>>();
  std::weak_ptr<std::function<void()>> self = poll;
  *poll = [this, ready, fn, self] {
    if (ready()) {
      settle();
      fn();
      return;
    }
    // Not yet: look again shortly, in turn with everything else queued.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (auto again = self.lock()) ws->post_call(*again);
  };
  static std::vector<std::shared_ptr<std::function<void()>>> alive;  // UI thread
  alive.push_back(poll);
  ws->post_call(*poll);
}

std::string ChatTest::golden(const std::string& name) {
  return ScreenTest::golden(TAVRIN_CHAT_GOLDEN, TAVRIN_CHAT_OUT, name);
}

}  // namespace tavrin::test
