// The desktop notification bus over real D-Bus: a private session bus
// (dbus-daemon) and a stand-in notification service on it that records each
// Notify call and sends the signals a user's click or a close would. What
// goes over the wire is checked: every argument and hint of Notify, and the
// signals read back, another interface's ignored.
#include "platform/desktop_notifications.h"

#include <dbus/dbus.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "eventually.h"
#include "temp_dir.h"

extern char** environ;

using namespace tavrin::platform;
using tavrin::test::eventually;

namespace {

// A session bus of our own, ended with the test.
struct PrivateBus {
  TempDir dir{"tavrin-bus"};
  std::string address;
  pid_t pid = -1;
  PrivateBus() {
    address = "unix:path=" + dir.file("bus");
    const std::string listen = "--address=" + address;
    const char* argv[] = {"/usr/bin/dbus-daemon", "--session",    "--nofork", "--nopidfile",
                          "--print-address=1",    listen.c_str(), nullptr};
    // It prints its address once it accepts connections.
    int ready[2];
    if (pipe(ready) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, ready[1], 1);
    posix_spawn_file_actions_addclose(&fa, ready[0]);
    if (posix_spawn(&pid, argv[0], &fa, nullptr, const_cast<char**>(argv), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(ready[1]);
    char c = 0;
    while (pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') {
    }
    close(ready[0]);
  }
  ~PrivateBus() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
  }
};

struct Recorded {
  std::string app, icon, summary, body;
  uint32_t replaces = 0;
  std::vector<std::string> actions;
  std::map<std::string, std::string> hints;  // strings as they are, the byte as its number
  int32_t expire = 0;
};

// org.freedesktop.Notifications on the private bus, served from its own thread.
class StandInService {
 public:
  explicit StandInService(const std::string& address) {
    DBusError error;
    dbus_error_init(&error);
    c_ = dbus_connection_open_private(address.c_str(), &error);
    if (c_ && dbus_bus_register(c_, &error))
      owned_ =
          dbus_bus_request_name(c_, "org.freedesktop.Notifications", DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
    dbus_error_free(&error);
    if (owned_) thread_ = std::thread([this] { serve(); });
  }
  ~StandInService() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (c_) {
      dbus_connection_close(c_);
      dbus_connection_unref(c_);
    }
  }
  bool owned() const { return owned_; }
  // Calls are read and recorded but never answered, as by a hung service.
  void go_silent() { silent_ = true; }
  std::vector<Recorded> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // Sends a signal of the given interface: (id, action) for ActionInvoked,
  // (id, reason 2) for NotificationClosed.
  void signal(const char* interface, const char* name, uint32_t id, const char* action = nullptr) {
    std::lock_guard lock(mutex_);
    outbox_.push_back({interface, name, id, action ? action : ""});
  }

 private:
  struct Out {
    std::string interface, name;
    uint32_t id;
    std::string action;
  };

  void serve() {
    while (!stop_) {
      dbus_connection_read_write(c_, 20);
      while (DBusMessage* m = dbus_connection_pop_message(c_)) {
        if (dbus_message_is_method_call(m, "org.freedesktop.Notifications", "Notify")) answer(m);
        dbus_message_unref(m);
      }
      std::vector<Out> out;
      {
        std::lock_guard lock(mutex_);
        out.swap(outbox_);
      }
      for (const Out& o : out) {
        DBusMessage* s = dbus_message_new_signal("/org/freedesktop/Notifications",
                                                 o.interface.c_str(), o.name.c_str());
        if (o.name == "ActionInvoked") {
          const char* action = o.action.c_str();
          dbus_message_append_args(s, DBUS_TYPE_UINT32, &o.id, DBUS_TYPE_STRING, &action,
                                   DBUS_TYPE_INVALID);
        } else {
          const uint32_t reason = 2;
          dbus_message_append_args(s, DBUS_TYPE_UINT32, &o.id, DBUS_TYPE_UINT32, &reason,
                                   DBUS_TYPE_INVALID);
        }
        dbus_connection_send(c_, s, nullptr);
        dbus_message_unref(s);
      }
      dbus_connection_flush(c_);
    }
  }

  void answer(DBusMessage* m) {
    Recorded r;
    DBusMessageIter it, sub;
    dbus_message_iter_init(m, &it);
    auto text = [&](std::string& out) {
      const char* s = nullptr;
      dbus_message_iter_get_basic(&it, &s);
      out = s ? s : "";
      dbus_message_iter_next(&it);
    };
    text(r.app);
    dbus_message_iter_get_basic(&it, &r.replaces);
    dbus_message_iter_next(&it);
    text(r.icon);
    text(r.summary);
    text(r.body);
    for (dbus_message_iter_recurse(&it, &sub);
         dbus_message_iter_get_arg_type(&sub) == DBUS_TYPE_STRING; dbus_message_iter_next(&sub)) {
      const char* s = nullptr;
      dbus_message_iter_get_basic(&sub, &s);
      r.actions.push_back(s);
    }
    dbus_message_iter_next(&it);
    for (dbus_message_iter_recurse(&it, &sub);
         dbus_message_iter_get_arg_type(&sub) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&sub)) {
      DBusMessageIter entry, variant;
      dbus_message_iter_recurse(&sub, &entry);
      const char* key = nullptr;
      dbus_message_iter_get_basic(&entry, &key);
      dbus_message_iter_next(&entry);
      dbus_message_iter_recurse(&entry, &variant);
      if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_STRING) {
        const char* v = nullptr;
        dbus_message_iter_get_basic(&variant, &v);
        r.hints[key] = v;
      } else if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BYTE) {
        uint8_t v = 0;
        dbus_message_iter_get_basic(&variant, &v);
        r.hints[key] = std::to_string(v);
      }
    }
    dbus_message_iter_next(&it);
    dbus_message_iter_get_basic(&it, &r.expire);
    uint32_t id = 0;
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(r);
      id = r.replaces ? r.replaces : uint32_t(100 + calls_.size());
    }
    if (silent_) return;
    DBusMessage* reply = dbus_message_new_method_return(m);
    dbus_message_append_args(reply, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
    dbus_connection_send(c_, reply, nullptr);
    dbus_message_unref(reply);
  }

  DBusConnection* c_ = nullptr;  // the serving thread's once it runs
  bool owned_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> silent_{false};
  std::mutex mutex_;             // guards calls_ and outbox_
  std::vector<Recorded> calls_;  // guarded by mutex_
  std::vector<Out> outbox_;      // guarded by mutex_
  std::thread thread_;
};

// DBUS_SESSION_BUS_ADDRESS for the test's length.
struct SessionAddress {
  std::string saved;
  bool had = false;
  explicit SessionAddress(const std::string& address) {
    if (const char* v = std::getenv("DBUS_SESSION_BUS_ADDRESS")) saved = v, had = true;
    if (address.empty())
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
      setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
  }
  ~SessionAddress() {
    if (had)
      setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    else
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
};

// The id the service's answer to the call `ticket` gave (0: refused or
// given up on), with any other signal kept in `others`; -1 when none came.
long long answer_to(NotificationBus& bus, uint64_t ticket,
                    std::vector<NotificationSignal>* others = nullptr) {
  long long id = -1;
  eventually([&] {
    for (auto& s : bus.take_signals()) {
      if (s.kind == NotificationSignal::kShown && s.ticket == ticket)
        id = s.id;
      else if (others)
        others->push_back(s);
    }
    return id >= 0;
  });
  return id;
}

}  // namespace

TEST(DesktopNotificationBus, NotifyCarriesEveryArgumentAndTheSignalsComeBack) {
  PrivateBus daemon;
  ASSERT_GT(daemon.pid, 0);
  SessionAddress session(daemon.address);
  StandInService service(daemon.address);
  ASSERT_TRUE(service.owned());
  auto bus = open_session_notification_bus();
  ASSERT_TRUE(bus);

  DesktopNotification n;
  n.summary = "小明";
  n.body = "在吗 &amp; 你好";
  n.actions = {"default", "查看"};
  n.desktop_entry = "local.tavrin.Tavrin";
  n.category = "im.received";
  // A call goes out at once; the service's id comes back with the signals.
  const uint64_t first = bus->notify(n);
  ASSERT_NE(first, 0u);
  const uint32_t id = uint32_t(answer_to(*bus, first));
  EXPECT_EQ(id, 101u);
  n.replaces_id = id;
  n.urgency = 0;
  n.category.clear();
  const uint64_t second = bus->notify(n);
  EXPECT_NE(second, first);
  EXPECT_EQ(answer_to(*bus, second), id);

  const auto calls = service.calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].app, "Tavrin");
  EXPECT_EQ(calls[0].icon, "tavrin");
  EXPECT_EQ(calls[0].replaces, 0u);
  EXPECT_EQ(calls[0].summary, "小明");
  EXPECT_EQ(calls[0].body, "在吗 &amp; 你好");
  EXPECT_EQ(calls[0].actions, (std::vector<std::string>{"default", "查看"}));
  EXPECT_EQ(calls[0].hints,
            (std::map<std::string, std::string>{{"desktop-entry", "local.tavrin.Tavrin"},
                                                {"category", "im.received"},
                                                {"urgency", "1"}}));
  EXPECT_EQ(calls[0].expire, -1);
  EXPECT_EQ(calls[1].replaces, 101u);
  EXPECT_EQ(calls[1].hints.count("category"), 0u);
  EXPECT_EQ(calls[1].hints.at("urgency"), "0");

  service.signal("org.example.Other", "ActionInvoked", id, "default");
  service.signal("org.freedesktop.Notifications", "ActionInvoked", id, "default");
  service.signal("org.freedesktop.Notifications", "NotificationClosed", id);
  std::vector<NotificationSignal> got;
  ASSERT_TRUE(eventually([&] {
    for (auto& s : bus->take_signals())
      if (s.kind != NotificationSignal::kShown) got.push_back(s);
    return got.size() >= 2;
  }));
  EXPECT_EQ(got[0].kind, NotificationSignal::kAction);
  EXPECT_EQ(got[0].id, id);
  EXPECT_EQ(got[0].action, "default");
  EXPECT_EQ(got[1].kind, NotificationSignal::kClosed);
  EXPECT_EQ(got[1].id, id);
}

TEST(DesktopNotificationBus, NoSessionOrNoServiceShowsNothing) {
  {
    SessionAddress none("");
    EXPECT_FALSE(open_session_notification_bus());
  }
  PrivateBus daemon;
  ASSERT_GT(daemon.pid, 0);
  SessionAddress session(daemon.address);
  auto bus = open_session_notification_bus();
  ASSERT_TRUE(bus);
  // Nobody owns the name: the bus answers that there is no such service.
  const uint64_t ticket = bus->notify(DesktopNotification{});
  ASSERT_NE(ticket, 0u);
  EXPECT_EQ(answer_to(*bus, ticket), 0);
  EXPECT_TRUE(bus->take_signals().empty());
}

// A service that takes calls and never answers: each call still returns at
// once with its ticket (a call that waited could not know the id, and would
// hand back 0), the calls reach the service, and each is given up on with
// id 0 once kCallTimeoutMs has passed.
TEST(DesktopNotificationBus, AServiceThatNeverAnswersIsNotWaitedFor) {
  PrivateBus daemon;
  ASSERT_GT(daemon.pid, 0);
  SessionAddress session(daemon.address);
  StandInService service(daemon.address);
  ASSERT_TRUE(service.owned());
  service.go_silent();
  auto bus = open_session_notification_bus();
  ASSERT_TRUE(bus);
  std::vector<uint64_t> tickets;
  for (int i = 0; i < 5; ++i) tickets.push_back(bus->notify(DesktopNotification{}));
  EXPECT_TRUE(eventually([&] { return service.calls().size() == 5; }));
  std::map<uint64_t, uint32_t> answers;
  EXPECT_TRUE(eventually([&] {
    for (const auto& s : bus->take_signals())
      if (s.kind == NotificationSignal::kShown) answers[s.ticket] = s.id;
    return answers.size() == tickets.size();
  }));
  for (const uint64_t t : tickets) {
    ASSERT_NE(t, 0u);
    ASSERT_EQ(answers.count(t), 1u);
    EXPECT_EQ(answers[t], 0u) << "given up on";
  }
}
