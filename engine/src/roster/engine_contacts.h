// The engine's contact state: the one user record, the installed contact
// store and the store lock that guards both.
//
// Threads: the worker and timer threads change the state; the client reads it
// through the fx_ accessors. Every read and change happens under the store
// lock, a recursive mutex that the client may also take around a walk
// (fx_lock_contacts). Because no record is freed except under that lock, a
// client that holds it can never see a record freed under it. Engine code
// should post messages to the client after releasing the lock, and must never
// wait for another thread while holding it.
//
// LOCK ORDER: timer lock, then store lock, then send-queue and transaction
// locks. A timer handler may take the store lock; code that holds the store
// lock must not take the timer lock (remove or add timers before locking the
// store or after unlocking it). The client holds the store lock only around
// accessor calls (see fx_lock_contacts in the public header).
//
// Hooks: the accessors that ask the server for data (the score, a contact's
// profile) call through a table of requests that live in the contact layer
// above; the wiring installs them at fx_init, tests may replace them. An
// empty entry sends nothing.
#pragma once

#include <memory>
#include <mutex>

#include "libtavrin.h"
#include "roster/contact_store.h"

namespace tavrin::contacts {

using StoreLock = std::unique_lock<std::recursive_mutex>;

struct RequestHooks {
  void (*request_score)() = nullptr;                       // sends "GetScore"
  int (*request_contact_info)(const char* uri) = nullptr;  // sends "GetContactsInfo"; 1 when sent
};

class EngineContacts {
 public:
  static EngineContacts& instance();

  // Takes the store lock (recursive).
  StoreLock lock() { return StoreLock(mutex_); }
  std::recursive_mutex& mutex() { return mutex_; }

  // All of the following require the store lock.
  // The user record, created zero-filled (score -1) on first use.
  fx_user& user();
  // The user record, or nullptr when none was created yet.
  fx_user* user_if_any() { return user_; }
  // The installed store, or nullptr.
  ContactStore* store();
  // Installs a new store; the previous one is freed with all its records.
  void install(std::unique_ptr<ContactStore> store);
  // The user's own id when a login id is set.
  bool is_own_id(long id) const {
    return user_ != nullptr && user_->uid != nullptr && id == user_->user_id;
  }
  // Sets the login id (and its number) and the password.
  void set_login(const char* uid, const char* password);
  // Frees the user record and the store (engine end).
  void reset();

  void set_hooks(const RequestHooks& hooks);
  RequestHooks hooks();

 private:
  EngineContacts() = default;
  ~EngineContacts();

  std::recursive_mutex mutex_;
  fx_user* user_ = nullptr;  // guarded by mutex_; owns contact_data and the rest
  RequestHooks hooks_;       // guarded by mutex_
};

// Frees a user record with everything it owns (store, profile, schedule list).
void free_user(fx_user* user);

}  // namespace tavrin::contacts
