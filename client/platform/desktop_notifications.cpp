#include "platform/desktop_notifications.h"

#include <dbus/dbus.h>

#include <cstdlib>
#include <map>

namespace tavrin::platform {
namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";

struct MessageFree {
  void operator()(DBusMessage* m) const { dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageFree>;

// A string entry {key: variant} of the hints dictionary.
void add_hint(DBusMessageIter* dict, const char* key, int type, const void* value) {
  const char signature[2] = {char(type), '\0'};
  DBusMessageIter entry, variant;
  dbus_message_iter_open_container(dict, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
  dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
  dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, signature, &variant);
  dbus_message_iter_append_basic(&variant, type, value);
  dbus_message_iter_close_container(&entry, &variant);
  dbus_message_iter_close_container(dict, &entry);
}

class DbusNotificationBus final : public NotificationBus {
 public:
  explicit DbusNotificationBus(DBusConnection* c) : connection_(c) {
    // Only our own service's signals, read by take_signals().
    dbus_bus_add_match(connection_,
                       "type='signal',interface='org.freedesktop.Notifications',"
                       "path='/org/freedesktop/Notifications'",
                       nullptr);
    dbus_connection_flush(connection_);
  }
  ~DbusNotificationBus() override {
    dbus_connection_close(connection_);
    dbus_connection_unref(connection_);
  }

  uint64_t notify(const DesktopNotification& n) override {
    Message call(dbus_message_new_method_call(kService, kPath, kInterface, "Notify"));
    if (!call) return 0;
    DBusMessageIter args, array;
    dbus_message_iter_init_append(call.get(), &args);
    const char* app = n.app_name.c_str();
    const char* icon = n.icon.c_str();
    const char* summary = n.summary.c_str();
    const char* body = n.body.c_str();
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &app);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_UINT32, &n.replaces_id);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &icon);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &summary);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_STRING, &body);
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "s", &array);
    for (const std::string& a : n.actions) {
      const char* s = a.c_str();
      dbus_message_iter_append_basic(&array, DBUS_TYPE_STRING, &s);
    }
    dbus_message_iter_close_container(&args, &array);
    dbus_message_iter_open_container(&args, DBUS_TYPE_ARRAY, "{sv}", &array);
    if (!n.desktop_entry.empty()) {
      const char* v = n.desktop_entry.c_str();
      add_hint(&array, "desktop-entry", DBUS_TYPE_STRING, &v);
    }
    if (!n.category.empty()) {
      const char* v = n.category.c_str();
      add_hint(&array, "category", DBUS_TYPE_STRING, &v);
    }
    add_hint(&array, "urgency", DBUS_TYPE_BYTE, &n.urgency);
    dbus_message_iter_close_container(&args, &array);
    dbus_message_iter_append_basic(&args, DBUS_TYPE_INT32, &n.expire_ms);

    // Out at once; the answer is read with the signals (take_signals).
    dbus_uint32_t serial = 0;
    if (!dbus_connection_send(connection_, call.get(), &serial)) return 0;
    dbus_connection_flush(connection_);
    const uint64_t ticket = ++last_ticket_;
    waiting_[serial] = {ticket, std::chrono::steady_clock::now() +
                                    std::chrono::milliseconds(kCallTimeoutMs)};
    return ticket;
  }

  void close(uint32_t id) override {
    Message call(dbus_message_new_method_call(kService, kPath, kInterface, "CloseNotification"));
    if (!call) return;
    dbus_message_append_args(call.get(), DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID);
    dbus_connection_send(connection_, call.get(), nullptr);
    dbus_connection_flush(connection_);
  }

  std::vector<NotificationSignal> take_signals() override {
    std::vector<NotificationSignal> out;
    dbus_connection_read_write(connection_, 0);
    while (Message m{dbus_connection_pop_message(connection_)}) {
      DBusError error;
      dbus_error_init(&error);
      uint32_t id = 0;
      const int type = dbus_message_get_type(m.get());
      if (type == DBUS_MESSAGE_TYPE_METHOD_RETURN || type == DBUS_MESSAGE_TYPE_ERROR) {
        const auto it = waiting_.find(dbus_message_get_reply_serial(m.get()));
        if (it != waiting_.end()) {
          if (type == DBUS_MESSAGE_TYPE_ERROR ||
              !dbus_message_get_args(m.get(), &error, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID))
            id = 0;
          out.push_back({NotificationSignal::kShown, id, {}, it->second.ticket});
          waiting_.erase(it);
        }
      } else if (dbus_message_is_signal(m.get(), kInterface, "ActionInvoked")) {
        const char* action = nullptr;
        if (dbus_message_get_args(m.get(), &error, DBUS_TYPE_UINT32, &id, DBUS_TYPE_STRING, &action,
                                  DBUS_TYPE_INVALID))
          out.push_back({NotificationSignal::kAction, id, action ? action : ""});
      } else if (dbus_message_is_signal(m.get(), kInterface, "NotificationClosed")) {
        uint32_t reason = 0;
        if (dbus_message_get_args(m.get(), &error, DBUS_TYPE_UINT32, &id, DBUS_TYPE_UINT32, &reason,
                                  DBUS_TYPE_INVALID))
          out.push_back({NotificationSignal::kClosed, id, {}});
      }
      dbus_error_free(&error);
    }
    // Calls the service left unanswered: given up on (a late answer is
    // then ignored above).
    const auto now = std::chrono::steady_clock::now();
    for (auto it = waiting_.begin(); it != waiting_.end();) {
      if (it->second.deadline > now) {
        ++it;
        continue;
      }
      out.push_back({NotificationSignal::kShown, 0, {}, it->second.ticket});
      it = waiting_.erase(it);
    }
    return out;
  }

 private:
  struct Waiting {
    uint64_t ticket;
    std::chrono::steady_clock::time_point deadline;
  };
  DBusConnection* connection_;  // private to this object; UI thread
  uint64_t last_ticket_ = 0;
  std::map<dbus_uint32_t, Waiting> waiting_;  // by the call's serial
};

}  // namespace

std::unique_ptr<NotificationBus> open_session_notification_bus() {
  // Without a session there is nobody to show notifications; asking libdbus
  // would try to start one.
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address || !*address) return nullptr;
  // The address as it is now (libdbus's own lookup keeps the first one it saw).
  DBusError error;
  dbus_error_init(&error);
  DBusConnection* c = dbus_connection_open_private(address, &error);
  if (c && !dbus_bus_register(c, &error)) {
    dbus_connection_close(c);
    dbus_connection_unref(c);
    c = nullptr;
  }
  dbus_error_free(&error);
  if (!c) return nullptr;
  dbus_connection_set_exit_on_disconnect(c, false);
  return std::make_unique<DbusNotificationBus>(c);
}

}  // namespace tavrin::platform
