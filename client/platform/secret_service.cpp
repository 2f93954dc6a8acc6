// Saved passwords in the desktop's secret service; see secret_service.h.
#include "platform/secret_service.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/text_codec.h"

namespace tavrin::platform {
namespace {

const SecretSchema* schema() {
  static const SecretSchema s = [] {
    SecretSchema made{};
    made.name = "net.tavrin.Password";
    made.flags = SECRET_SCHEMA_NONE;
    made.attributes[0] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return made;
  }();
  return &s;
}

// A service that asks the person something (to unlock or make a keyring)
// would hold the UI thread for as long as nobody answers: each call is
// given up after kAnswerLimit, and after one such call the service is no
// longer asked in this run.
constexpr auto kAnswerLimit = std::chrono::seconds(3);
bool gave_up = false;  // UI thread

// Cancels its call once kAnswerLimit has passed, from a thread of its own.
class Deadline {
 public:
  Deadline() : cancellable_(g_cancellable_new()), watch_([this] { run(); }) {}
  ~Deadline() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    cv_.notify_one();
    watch_.join();
    if (g_cancellable_is_cancelled(cancellable_)) gave_up = true;
    g_object_unref(cancellable_);
  }
  GCancellable* get() const { return cancellable_; }

 private:
  void run() {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, kAnswerLimit, [this] { return done_; }))
      g_cancellable_cancel(cancellable_);
  }
  GCancellable* cancellable_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;  // guarded by mutex_
  std::thread watch_;
};

// Clears a GError, saying whether there was one.
bool failed(GError*& error) {
  if (!error) return false;
  g_error_free(error);
  error = nullptr;
  return true;
}

}  // namespace

bool SecretService::available() {
  // Once a service answered it is taken to stay; until then each use asks
  // again (a keyring may start after the client).
  static bool answered = false;
  if (gave_up) return false;
  if (answered) return true;
  // Without a session bus libsecret would try to start one: not ours to do.
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!bus || !*bus) return false;
  // A lookup of an account no one has: an error means no service answers.
  GError* error = nullptr;
  gchar* found = [&] {
    Deadline deadline;
    return secret_password_lookup_sync(schema(), deadline.get(), &error, "account", "", nullptr);
  }();
  secret_password_free(found);
  answered = !failed(error) && !gave_up;
  return answered;
}

bool SecretService::store(std::u16string_view account, std::u16string_view password) {
  if (!available()) return false;
  const std::string a = utf16_to_utf8(account), p = utf16_to_utf8(password);
  const std::string label = "Tavrin " + a;
  GError* error = nullptr;
  const gboolean ok = [&] {
    Deadline deadline;
    return secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                      p.c_str(), deadline.get(), &error, "account", a.c_str(),
                                      nullptr);
  }();
  return !failed(error) && ok;
}

std::optional<std::u16string> SecretService::lookup(std::u16string_view account) {
  if (!available()) return std::nullopt;
  const std::string a = utf16_to_utf8(account);
  GError* error = nullptr;
  gchar* found = [&] {
    Deadline deadline;
    return secret_password_lookup_sync(schema(), deadline.get(), &error, "account", a.c_str(),
                                       nullptr);
  }();
  std::optional<std::u16string> out;
  if (!failed(error) && found) out = utf8_to_utf16(found);
  secret_password_free(found);
  return out;
}

bool SecretService::erase(std::u16string_view account) {
  if (!available()) return false;
  const std::string a = utf16_to_utf8(account);
  GError* error = nullptr;
  {
    Deadline deadline;
    secret_password_clear_sync(schema(), deadline.get(), &error, "account", a.c_str(), nullptr);
  }
  return !failed(error);
}

}  // namespace tavrin::platform
