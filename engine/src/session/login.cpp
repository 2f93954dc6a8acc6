#include "session/login.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame/engine.h"
#include "frame/sync_wait.h"
#include "message_words.h"
#include "roster/engine_contacts.h"
#include "session/login_fetches.h"
#include "session/mobile_resolver.h"
#include "session/navigation.h"
#include "session/registration.h"
#include "session/session.h"
#include "session/session_hooks.h"
#include "sipc/proxy_settings.h"
#include "sipc/server_settings.h"
#include "sipc/wire.h"

namespace tavrin {

namespace {

using contacts::EngineContacts;

struct LoginTask {
  ReplyTo to;
  std::string login_id;
  std::string password;
};

// The interceptor's context: where the client's login messages go.
struct LoginContext {
  ReplyTo to;
};

// The login task waiting for its timer. Taken by the timer's handler, or
// replaced by the next fx_login (whose timer can only be added once the
// previous one is gone, so a replaced task never runs). Guarded by g_task_mu,
// which is taken only while the timer lock is held.
std::mutex g_task_mu;
std::unique_ptr<LoginTask> g_task;

// fs_login: 60 s for the first code that ends a login.
const WaitSpec kLoginWait{
    {FX_MSG_LOGIN_WRONG_PASSWORD, FX_MSG_LOGIN_FAILED, FX_MSG_LOGIN_BAD_REQUEST,
     FX_MSG_LOGIN_NOT_FOUND, FX_MSG_CONTACTS_LOAD_FAILED, FX_MSG_LOGIN_OK,
     // These two also end a login; waiting on for them would only time out.
     FX_MSG_QUN_LIST_FAILED, FX_MSG_NAV_BAD_ID},
    {FX_MSG_LOGIN_OK},
    6001};
constexpr auto kLogoutGrace = std::chrono::milliseconds(1000);
constexpr int kSocketErrorLimit = 3;

void to_client(const LoginContext& ctx, int code, intptr_t p1, intptr_t p2) {
  if (ctx.to.cb) {
    ctx.to.cb(code, p1, p2, ctx.to.user);
    return;
  }
  // A login without a request callback reports nothing: the system callback
  // is the interceptor itself. What a message hands over is freed here.
  release_message(code, p1, p2);
}

bool stored_login(std::string* id, std::string* password) {
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  const fx_user& u = state.user();
  if (u.uid == nullptr || u.password == nullptr) return false;
  *id = u.uid;
  *password = u.password;
  return true;
}

// Navigation when no server is known: false after posting 5 or 241.
bool navigate_if_needed(const LoginTask& task, const std::string& id) {
  if (!server_settings().host().empty()) return true;
  int network_failure = 0;
  if (get_sipc_proxy(id.c_str(), &network_failure)) return true;
  task.to.post(network_failure ? FX_MSG_LOGIN_FAILED : FX_MSG_NAV_BAD_ID);
  return false;
}

void run_login(const LoginTask& task) {
  if (session().cancel_login) return;
  std::string id;
  if (task.login_id.size() == 11) {
    if (!navigate_if_needed(task, task.login_id)) return;
    switch (resolve_login_id(task.login_id, &id)) {
      case Resolved::ok:
        break;
      case Resolved::unknown:
        task.to.post(FX_MSG_LOGIN_WRONG_PASSWORD);
        return;
      case Resolved::network_failure:
        task.to.post(FX_MSG_LOGIN_FAILED);
        return;
    }
  } else if (task.login_id.size() == 9) {
    id = task.login_id;
  } else {
    task.to.post(FX_MSG_LOGIN_NOT_FOUND);
    return;
  }
  if (!navigate_if_needed(task, id)) return;
  if (session().cancel_login) return;
  auto* ctx = session().keep(std::make_unique<LoginContext>(LoginContext{task.to}));
  engine().callbacks.set_system(login_interceptor, ctx);
  registration_start(id, task.password, login_interceptor, ctx);
  // A cancel that came while the connection was being made ends it here.
  if (session().cancel_login) engine().net().close();
}

int login_task(void* argument) {
  std::unique_ptr<LoginTask> task;
  {
    std::lock_guard lock(g_task_mu);
    if (g_task.get() == argument) task = std::move(g_task);
  }
  if (task) run_login(*task);
  return 0;
}

int keepalive_timer(void*) {
  send_keepalive();
  return 1;
}

int score_timer(void*) {
  void (*request_score)() = nullptr;
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    request_score = state.hooks().request_score;
  }
  if (request_score) request_score();
  return 0;
}

int offline_timer(void*) {
  request_offline_messages();
  return 0;
}

int schedule_timer(void*) {
  if (auto hook = session_hooks().request_schedule_list) hook();
  return 0;
}

void login_again(const LoginContext& ctx) {
  clear_session_tables();
  std::string id, password;
  if (!stored_login(&id, &password) || !login(id.c_str(), password.c_str(), ctx.to))
    to_client(ctx, FX_MSG_LOGIN_FAILED, 0, 0);
}

void login_complete(LoginContext& ctx) {
  std::vector<long> quns;
  {
    auto& state = EngineContacts::instance();
    auto lock = state.lock();
    if (const contacts::ContactStore* store = state.store())
      for (const fx_list* n = store->quns; n != nullptr; n = n->next)
        quns.push_back(static_cast<const fx_qun*>(n->data)->id);
  }
  const SessionHooks hooks = session_hooks();
  for (long id : quns) {
    if (hooks.request_qun_members) hooks.request_qun_members(id);
    if (hooks.invite_qun) hooks.invite_qun(id, login_interceptor, &ctx);
  }
  // The session's timers exist before the client hears of 14, so a client
  // that acts on 14 at once (a re-login clears the table) finds them.
  TimerTable& timers = engine().timers;
  timers.add(kSessionKey, kLoginTaskTag,
             proxy_settings().enabled() ? kKeepaliveProxyTicks : kKeepaliveTicks, keepalive_timer,
             nullptr);
  // Lines stored for the user while the connection was down wait for this
  // request, so a re-login asks for them as a first login does.
  timers.add(kSessionKey, kOfflineTag, 300, offline_timer, nullptr);
  if (!session().relogin_mode) {
    timers.add(kSessionKey, kScoreTag, 50, score_timer, nullptr);
    timers.add(kSessionKey, kScheduleTag, 200, schedule_timer, nullptr);
  }
  to_client(ctx, FX_MSG_LOGIN_OK, 0, 0);
}

bool own_uri_known() {
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  const fx_user* u = state.user_if_any();
  return u != nullptr && u->uri != nullptr;
}

// The last step before 14: every invitation (the group chats' at once, a
// chat the client begins on 14) names the user's own uri, so a first login
// learns it before it completes.
void complete_with_own_uri(LoginContext& ctx) {
  if (own_uri_known()) {
    login_complete(ctx);
    return;
  }
  request_own_info([&ctx] { login_complete(ctx); });
}

}  // namespace

void login_interceptor(int code, intptr_t p1, intptr_t p2, void* user) {
  auto& ctx = *static_cast<LoginContext*>(user);
  const SessionHooks hooks = session_hooks();
  switch (code) {
    case FX_MSG_REGISTERED:
      to_client(ctx, FX_MSG_LOGIN_REGISTERED, p1, p2);
      if (session().relogin_mode) {
        if (hooks.subscribe_contacts) hooks.subscribe_contacts(login_interceptor, &ctx);
      } else {
        request_personal_info();
        request_contact_list(login_interceptor, &ctx);
      }
      break;
    case FX_MSG_CONTACTS_LOADED:
      to_client(ctx, FX_MSG_LOGIN_CONTACTS_LOADED, p1, p2);
      if (hooks.subscribe_contacts) hooks.subscribe_contacts(login_interceptor, &ctx);
      break;
    case FX_MSG_PRESENCE_SUBSCRIBED:
      if (session().relogin_mode) {
        if (hooks.subscribe_quns) hooks.subscribe_quns(login_interceptor, &ctx);
      } else if (hooks.request_qun_list) {
        hooks.request_qun_list(login_interceptor, &ctx);
      }
      break;
    case FX_MSG_QUN_LIST_LOADED:
      if (hooks.subscribe_quns) hooks.subscribe_quns(login_interceptor, &ctx);
      break;
    case FX_MSG_QUN_SUBSCRIBED:
      complete_with_own_uri(ctx);
      break;
    case FX_MSG_REGISTER_GONE:
      login_again(ctx);
      break;
    case FX_MSG_SOCKET_ERROR:
      if (session().cancel_login) break;
      if (++session().socket_errors < kSocketErrorLimit) {
        login_again(ctx);
      } else {
        session().socket_errors = 0;
        to_client(ctx, FX_MSG_LOGIN_FAILED, 0, 0);
      }
      break;
    default:
      to_client(ctx, code, p1, p2);
  }
}

void clear_session_tables() {
  engine().timers.clear();
  if (auto clear_dialogs = session_hooks().clear_dialogs) clear_dialogs();
  wire().transactions.clear();
}

int login(const char* login_id, const char* password, const ReplyTo& to) {
  if (login_id == nullptr || password == nullptr) return 0;
  session().cancel_login = 0;
  auto task = std::make_unique<LoginTask>(LoginTask{to, login_id, password});
  TimerTable& timers = engine().timers;
  timers.lock();
  int added = timers.add(kSessionKey, kLoginTaskTag, kLoginTaskTicks, login_task, task.get());
  if (added) {
    std::lock_guard lock(g_task_mu);
    g_task = std::move(task);
  }
  timers.unlock();
  return added;
}

int relogin(const ReplyTo& to) {
  session().cancel_login = 0;
  session().relogin_mode = 1;
  clear_session_tables();
  std::string id, password;
  if (!stored_login(&id, &password)) return 0;
  return login(id.c_str(), password.c_str(), to);
}

void logout() {
  if (auto unsubscribe_all = session_hooks().unsubscribe_all) unsubscribe_all();
  send_logout();
  // The logout gets out (and its answer in) before the tables are emptied.
  std::this_thread::sleep_for(kLogoutGrace);
  clear_session_tables();
  session().presence_call = 0;
  session().qun_call = 0;
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  state.user().registration_state = 0;
}

int cancel_login() {
  session().cancel_login = 1;
  return engine().net().close();
}

void set_login_status(int status) {
  server_settings().set_login_status(status);
  auto& state = EngineContacts::instance();
  auto lock = state.lock();
  state.user().state = status;
}

int login_and_wait(const char* login_id, const char* password) {
  return wait_for_result(kLoginWait,
                         [&](const ReplyTo& to) { return login(login_id, password, to); });
}

}  // namespace tavrin
