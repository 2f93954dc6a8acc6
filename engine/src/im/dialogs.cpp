#include "im/dialogs.h"

#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

#include "im/incoming.h"
#include "roster/contact_id.h"
#include "roster/contact_status.h"
#include "roster/engine_contacts.h"
#include "sipc/command.h"
#include "sipc/connection.h"
#include "sipc/server_settings.h"
#include "sipc/wire.h"
#include "tavrin/line_limit.h"

namespace tavrin::im {

namespace {

static_assert(sizeof(void*) >= 8, "timer arguments carry a call id and a sequence number");

// Timer arguments carry the keys of what they time, never a pointer into
// the table: a handler that fires after its entry is gone finds nothing.
void* key_argument(int32_t call_id, int32_t sequence) {
  return reinterpret_cast<void*>((uint64_t(uint32_t(call_id)) << 32) | uint32_t(sequence));
}
int32_t argument_call_id(void* a) {
  return int32_t(uint32_t(reinterpret_cast<uint64_t>(a) >> 32));
}
int32_t argument_sequence(void* a) {
  return int32_t(uint32_t(reinterpret_cast<uint64_t>(a)));
}

struct Post {
  ReplyTo reply;
  int code;
  intptr_t p1, p2;
  MsgPtr keep;  // a record the result only shows (54): freed after the post
};

void deliver(std::vector<Post>& posts) {
  for (const Post& p : posts) p.reply.post(p.code, p.p1, p.p2);
  posts.clear();
}

// Results decided under ImLock and posted when this thread's outermost
// ImLock is released (see ImLock::~ImLock). This thread's only.
thread_local int t_im_depth = 0;
thread_local std::vector<Post> t_outbox;

// Under ImLock.
void post_later(Post p) {
  t_outbox.push_back(std::move(p));
}

// The one final result of a line that will never be answered: 53, with
// the record handed over. Under ImLock.
void fail_line(const ReplyTo& reply, MsgPtr record) {
  const long id = record->contact_id;
  const intptr_t p1 = reinterpret_cast<intptr_t>(record.release());
  post_later(Post{reply, result_code(FX_MSG_CHAT_SEND_FAILED, id), p1, id, nullptr});
}

// What the send logic needs to know of an id, read under the store lock.
struct Peer {
  bool known = false;  // the engine has a uri for it
  std::string uri;
  bool online = false;
  bool chat_id = false;  // a Tavrin-number user or a group chat
};

Peer peer_of(long id) {
  Peer p;
  p.chat_id = contacts::is_pc_user_id(id) || contacts::is_qun_id(id);
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  const contacts::ContactStore* store = state.store();
  const char* uri = store ? store->uri_of(id) : nullptr;
  if (uri != nullptr) {
    p.known = true;
    p.uri = uri;
  }
  p.online =
      contacts::is_pc_user_id(id) && contacts::is_online_status(contacts::status_by_id(state, id));
  return p;
}

std::string own_uri() {
  auto& state = contacts::EngineContacts::instance();
  auto lock = state.lock();
  const fx_user* u = state.user_if_any();
  return u && u->uri ? u->uri : "";
}

// The session description of an invitation and of the answer to one: the
// connection's local address and port and the user's own uri.
std::string session_description() {
  const std::string address = connection().local_address();
  const int port = connection().local_port();
  const std::string at = address + ":" + std::to_string(port);
  return "v=0\r\no=-0 0 IN " + at + "\r\ns=session\r\nc=IN IP4 " + at + "\r\nt=0 0\r\nm=message " +
         std::to_string(port) + " sip " + own_uri();
}

std::atomic<bool> g_nudged{false};      // a nudge was sent in this process
std::atomic<uint32_t> g_last_nudge{0};  // tick count of that nudge

int line_timeout(void* argument);
int delay_timer(void* argument);

// The timers and transaction of a dialog that left the table. Its lines
// can no longer be answered: each that has had no final result yet fails
// (53); the records of those already timed out are freed with it. Under
// ImLock.
void discard(std::unique_ptr<Dialog> d) {
  if (!d) return;
  for (PendingSend& p : d->pending) {
    engine().timers.remove(uint32_t(d->call_id), uint32_t(p.sequence));
    if (p.record && !p.timed_out) fail_line(p.reply, std::move(p.record));
  }
  wire().transactions.remove(d->call_id);
}

// A delayed line that leaves the table unsent. Under ImLock.
void fail_task(const DelayedTask& t) {
  if (!t.nudge) fail_line(t.reply, sent_record(t.contact_id, t.text.c_str()));
}

// Under ImLock.
void queue_invitation(long id, const std::string& uri, const ReplyTo& reply) {
  const int32_t call_id = wire().new_call_id();
  sipc_message invite =
      sipc_message::request(request_origin(), "I", call_id, 1, session_description());
  invite.add_header("T", uri);
  invite.add_header("K", "text/html-fragment");
  invite.add_header("K", "multiparty");
  invite.add_header("K", "nudge");
  std::unique_ptr<Dialog> old;
  Dialog& d = dialog_table().put(id, call_id, false, &old);
  discard(std::move(old));
  d.pending.push_back(PendingSend{1, reply, nullptr});
  wire().transactions.add(call_id, dialog_handler, nullptr, nullptr);
  wire().queue(invite);
}

// A line in an open dialog. Under ImLock.
void send_in_dialog(Dialog& d, const std::string& uri, const std::string& text,
                    const ReplyTo& reply) {
  const int32_t seq = wire().transactions.next_sequence(d.call_id);
  d.pending.push_back(PendingSend{seq, reply, sent_record(d.contact_id, text.c_str())});
  sipc_message m = sipc_message::request(request_origin(), "M", d.call_id, seq, text);
  m.add_header("T", uri);
  m.add_header("C", "text/html-fragment");
  m.add_header("K", "SaveHistory");
  engine().timers.add(uint32_t(d.call_id), uint32_t(seq), kLineTimeoutTicks, line_timeout,
                      key_argument(d.call_id, seq));
  wire().queue(m);
}

// A line to a contact without a dialog; its call id becomes the dialog's.
// Under ImLock.
void send_outside(long id, const std::string& uri, const std::string& text, const ReplyTo& reply) {
  const int32_t call_id = wire().new_call_id();
  sipc_message m = sipc_message::request(request_origin(), "M", call_id, 2, text);
  m.add_header("T", uri);
  m.add_header("C", "text/html-fragment");
  m.add_header("K", "SaveHistory");
  if (server_settings().long_sms()) m.add_header("K", "CatMsg");
  std::unique_ptr<Dialog> old;
  Dialog& d = dialog_table().put(id, call_id, true, &old);
  discard(std::move(old));
  d.pending.push_back(PendingSend{2, reply, sent_record(id, text.c_str())});
  wire().transactions.add(call_id, dialog_handler, nullptr, nullptr);
  engine().timers.add(uint32_t(call_id), 2, kLineTimeoutTicks, line_timeout,
                      key_argument(call_id, 2));
  wire().queue(m);
}

// Under ImLock.
void queue_nudge(Dialog& d, const std::string& uri) {
  const int32_t seq = wire().transactions.next_sequence(d.call_id);
  sipc_message m = sipc_message::request(request_origin(), "IN", d.call_id, seq, kNudgeBody);
  m.add_header("T", uri);
  wire().queue(m);
}

// A delayed line or nudge with its own timer (a new call id, key 2 = 1).
// 0 when the timer table is full. Under ImLock.
int start_delayed(long id, bool nudge, const std::string& text, const ReplyTo& reply) {
  const auto timer_id = uint32_t(wire().new_call_id());
  if (!engine().timers.add(timer_id, 1, kDelayTicks, delay_timer,
                           key_argument(int32_t(timer_id), 1)))
    return 0;
  dialog_table().add_task(DelayedTask{timer_id, id, nudge, text, reply});
  return 1;
}

// Sends the contact's waiting lines and nudges, oldest first, once its
// dialog is open (or, for a contact gone offline, the first line outside a
// dialog and the rest in it). The invitation's 200 sends them at once; each
// task's own timer is the fallback, and whichever comes first sends them
// all, in the order they were made. Under ImLock.
void flush_delayed(long id, const Peer& peer) {
  for (DelayedTask& t : dialog_table().take_tasks(id)) {
    engine().timers.remove(t.timer_id, 1);
    Dialog* d = dialog_table().by_contact(id);
    if (t.nudge) {
      if (d && d->open) queue_nudge(*d, peer.uri);
    } else if (d && d->open) {
      send_in_dialog(*d, peer.uri, t.text, t.reply);
    } else if (!peer.online) {
      send_outside(id, peer.uri, t.text, t.reply);
    }
  }
}

int delay_timer(void* argument) {
  const auto timer_id = uint32_t(argument_call_id(argument));
  ImLock lock;
  DelayedTask* task = dialog_table().task(timer_id);
  if (task == nullptr) return 0;
  task->waited += kDelayTicks;
  const long id = task->contact_id;
  const Peer peer = peer_of(id);
  if (!peer.known) {  // gone from the store: the line fails
    fail_task(*dialog_table().take_task(timer_id));
    return 0;
  }
  Dialog* d = dialog_table().by_contact(id);
  const bool still_waiting = (d && !d->open) || (d == nullptr && peer.online);
  if (still_waiting && task->waited >= kLineTimeoutTicks) {
    // A dialog that does not open in the time a line may wait for its
    // answer (a server gone quiet): the line times out, unsent.
    std::optional<DelayedTask> t = dialog_table().take_task(timer_id);
    if (!t->nudge) {
      MsgPtr shown = sent_record(id, t->text.c_str());
      const intptr_t p1 = reinterpret_cast<intptr_t>(shown.get());
      post_later(
          Post{t->reply, result_code(FX_MSG_CHAT_SEND_TIMEOUT, id), p1, id, std::move(shown)});
    }
    return 0;
  }
  if (d && !d->open) return 1;  // still being opened
  if (d == nullptr && peer.online) {
    queue_invitation(id, peer.uri, ReplyTo{});
    return 1;
  }
  if (d == nullptr && task->nudge) {  // a nudge for someone offline ends here
    dialog_table().take_task(timer_id);
    return 0;
  }
  flush_delayed(id, peer);
  return 0;
}

int line_timeout(void* argument) {
  const int32_t call_id = argument_call_id(argument);
  const int32_t seq = argument_sequence(argument);
  ImLock lock;
  Dialog* d = dialog_table().by_call(call_id);
  PendingSend* p = d ? d->find(seq) : nullptr;
  if (p == nullptr || p->record == nullptr) return 0;
  // The record stays in the pending send: a late answer still reports it.
  p->reply.post(result_code(FX_MSG_CHAT_SEND_TIMEOUT, d->contact_id),
                reinterpret_cast<intptr_t>(p->record.get()), p->record->contact_id);
  p->timed_out = true;
  return 0;
}

void on_invitation_answer(const sipc_message& m) {
  std::vector<Post> posts;
  {
    ImLock lock;
    Dialog* d = dialog_table().by_call(m.call_id());
    if (d == nullptr) return;
    PendingSend* p = d->find(m.sequence());
    const long id = d->contact_id;
    auto post = [&](int code) {
      if (p && p->reply.cb) posts.push_back({p->reply, code, m.call_id(), id, nullptr});
    };
    if (m.target().find("Trying") != std::string::npos || m.status() == 100) {
      post(FX_MSG_DIALOG_TRYING);
    } else if (m.status() == 200) {
      d->open = true;
      post(FX_MSG_DIALOG_OPEN);
      if (p) d->take(m.sequence());
      sipc_message ack = sipc_message::request(request_origin(), "A", m.call_id(), 1);
      if (const std::string* t = m.get_header("T")) ack.add_header("T", *t);
      wire().queue(ack);
      // The lines and nudges written while the invitation was out go now,
      // in order; their timers stay only for an answer that never comes.
      flush_delayed(id, peer_of(id));
    } else if (m.status() > 400) {
      post(FX_MSG_DIALOG_REFUSED);
      discard(dialog_table().take(id));
    }
  }
  deliver(posts);
}

void on_line_answer(const sipc_message& m) {
  const bool ok = m.target() == "OK" || m.status() == 200 || m.status() == 280;
  if (!ok && m.status() <= 400) return;
  std::optional<Post> post;
  long reinvite = 0;
  {
    ImLock lock;
    Dialog* d = dialog_table().by_call(m.call_id());
    if (d == nullptr) return;
    const PendingSend* found = d->find(m.sequence());
    if (found == nullptr || found->record == nullptr) return;  // unknown sequence number: ignored
    std::optional<PendingSend> p = d->take(m.sequence());
    engine().timers.remove(uint32_t(m.call_id()), uint32_t(m.sequence()));
    const int code = result_code(ok ? FX_MSG_CHAT_SENT : FX_MSG_CHAT_SEND_FAILED, d->contact_id);
    // Final result: the record passes to the receiver.
    post = Post{p->reply, code, reinterpret_cast<intptr_t>(p->record.release()), d->contact_id,
                nullptr};
    if (m.status() == 481) reinvite = d->contact_id;
  }
  post->reply.post(post->code, post->p1, post->p2);
  if (reinvite) send_invitation(reinvite, ReplyTo{});
}

void on_peer_bye(const sipc_message& m) {
  {
    ImLock lock;
    if (Dialog* d = dialog_table().by_call(m.call_id()))
      discard(dialog_table().take(d->contact_id));
  }
  sipc_message answer = m;
  answer.set_status(200);
  answer.remove_header("F");
  wire().queue(answer);
}

}  // namespace

ImLock::ImLock() {
  engine().timers.lock();
  dialog_table().mutex().lock();
  ++t_im_depth;
}

ImLock::~ImLock() {
  --t_im_depth;
  dialog_table().mutex().unlock();
  engine().timers.unlock();
  if (t_im_depth == 0 && !t_outbox.empty()) {
    std::vector<Post> posts;
    posts.swap(t_outbox);
    deliver(posts);
  }
}

int begin_dialog(long id, const ReplyTo& reply) {
  const Peer peer = peer_of(id);
  if (peer.chat_id && peer.known && peer.online) {
    ImLock lock;
    if (dialog_table().by_contact(id) == nullptr) {
      queue_invitation(id, peer.uri, reply);
      return 1;
    }
  }
  reply.post(FX_MSG_DIALOG_OPEN, 0, id);
  return 1;
}

int dialog_send(long id, const char* text, const ReplyTo& reply) {
  if (id == 0 || text == nullptr) return 0;
  // The service refuses a longer line; refusing it here tells the caller at once.
  if (std::strlen(text) > kMaxLineBytes) return 0;
  const Peer peer = peer_of(id);
  if (!peer.known || !peer.chat_id) return 0;
  ImLock lock;
  if (dialog_table().waiting_lines(id) >= DialogTable::kMaxWaitingLines) return 0;
  Dialog* d = dialog_table().by_contact(id);
  if (d && !d->open) return start_delayed(id, false, text, reply);
  if (d == nullptr && peer.online) {
    if (!start_delayed(id, false, text, reply)) return 0;
    queue_invitation(id, peer.uri, ReplyTo{});
    return 1;
  }
  if (d == nullptr) {
    send_outside(id, peer.uri, text, reply);
    return 1;
  }
  // Lines still waiting from before the dialog opened go first, so that a
  // contact reads them in the order they were written.
  flush_delayed(id, peer);
  send_in_dialog(*d, peer.uri, text, reply);
  return 1;
}

int end_dialog(long id) {
  const Peer peer = peer_of(id);
  if (!peer.chat_id || !peer.known || !peer.online) return 0;
  ImLock lock;
  Dialog* d = dialog_table().by_contact(id);
  if (d == nullptr) return 0;
  if (d->open) {
    sipc_message bye = sipc_message::request(request_origin(), "B", d->call_id,
                                             wire().transactions.next_sequence(d->call_id));
    bye.add_header("T", peer.uri);
    wire().queue(bye);
  }
  discard(dialog_table().take(id));
  return 1;
}

int send_nudge(long id) {
  TimerTable& timers = engine().timers;
  const uint32_t now = timers.tick_count();
  if (g_nudged && now - g_last_nudge.load() <= kNudgeGapTicks) return 0;
  const Peer peer = peer_of(id);
  if (!peer.known || !peer.chat_id || !peer.online) return 0;
  ImLock lock;
  Dialog* d = dialog_table().by_contact(id);
  if (d && d->open) {
    queue_nudge(*d, peer.uri);
  } else {
    if (!start_delayed(id, true, "", ReplyTo{})) return 0;
    if (d == nullptr) queue_invitation(id, peer.uri, ReplyTo{});
  }
  g_last_nudge = now;
  g_nudged = true;
  return 1;
}

int send_invitation(long id, const ReplyTo& reply) {
  const Peer peer = peer_of(id);
  if (!peer.known) return 0;
  ImLock lock;
  queue_invitation(id, peer.uri, reply);
  return 1;
}

void drop_dialog(long id) {
  ImLock lock;
  discard(dialog_table().take(id));
}

void clear_dialogs() {
  ImLock lock;
  for (auto& d : dialog_table().take_all()) discard(std::move(d));
  for (DelayedTask& t : dialog_table().take_all_tasks()) {
    engine().timers.remove(t.timer_id, 1);
    fail_task(t);
  }
}

void accept_invitation(const sipc_message& m) {
  const std::string* from = m.get_header("F");
  const long id = contacts::contact_id_from_uri(from ? from->c_str() : nullptr);
  sipc_message answer = m;
  answer.set_status(200);
  answer.set_body(session_description());
  {
    ImLock lock;
    std::unique_ptr<Dialog> old;
    dialog_table().put(id, m.call_id(), true, &old);
    discard(std::move(old));
    wire().transactions.add(m.call_id(), dialog_handler, nullptr, nullptr);
    wire().queue(answer);
  }
  engine().callbacks.post_system(FX_MSG_DIALOG_INVITED, 0, id);
}

void dialog_handler(sipc_message& m, void*) {
  const std::string& method = m.method();
  if (method == "I") {
    if (m.is_response()) on_invitation_answer(m);
  } else if (method == "M") {
    const bool ok = m.target() == "OK" || m.status() == 200 || m.status() == 280;
    if (!m.is_response() && !ok)
      handle_incoming_message(m);
    else
      on_line_answer(m);
  } else if (method == "B") {
    if (m.status() != 200 && !m.is_response()) on_peer_bye(m);
  } else if (method == "O") {
    if (!m.is_response()) answer_other(m);
  } else if (method == "IN") {
    if (!m.is_response() && m.target() != "OK") handle_info(m);
  }
}

int dialog_state(long id) {
  std::lock_guard lock(dialog_table().mutex());
  const Dialog* d = dialog_table().by_contact(id);
  return d == nullptr ? 0 : d->open ? 2 : 1;
}

}  // namespace tavrin::im
