// Message dispatch for the client's windows; see window_system.h.
#include "platform/window_system.h"

#include <algorithm>
#include <atomic>
#include <future>

namespace tavrin::platform {
namespace {
std::mutex g_instance_mutex;
WindowSystem* g_instance = nullptr;  // guarded by g_instance_mutex
using Clock = std::chrono::steady_clock;
}  // namespace

struct WindowSystem::Window {
  WindowId id = 0;
  WindowSpec spec;
  std::vector<WindowId> children;  // bottom to top
  bool enabled = true;
};

struct WindowSystem::SendState {
  std::promise<intptr_t> result;
};

WindowSystem::WindowSystem() : ui_thread_(std::this_thread::get_id()) {
  std::lock_guard lock(g_instance_mutex);
  g_instance = this;
}

WindowSystem::~WindowSystem() {
  {
    // From here no other thread reaches us through post_to_instance().
    std::lock_guard lock(g_instance_mutex);
    if (g_instance == this) g_instance = nullptr;
  }
  {
    std::lock_guard lock(queue_mutex_);
    closed_ = true;
  }
  fail_pending_sends();
  // Windows still alive belong to owners that may already be gone: drop
  // them without calling any handler.
  windows_.clear();
  z_order_.clear();
}

WindowSystem* WindowSystem::instance() {
  std::lock_guard lock(g_instance_mutex);
  return g_instance;
}

bool WindowSystem::post_to_instance(std::function<void()> fn) {
  std::lock_guard lock(g_instance_mutex);
  return g_instance && g_instance->post_call(std::move(fn));
}

bool WindowSystem::post_to_instance(WindowId id, uint32_t message, uintptr_t wparam,
                                    intptr_t lparam) {
  std::lock_guard lock(g_instance_mutex);
  return g_instance && g_instance->post(id, message, wparam, lparam);
}

void WindowSystem::set_undelivered_handler(std::function<void(const Message&)> handler) {
  undelivered_ = std::move(handler);
}

bool WindowSystem::on_ui_thread() const {
  return std::this_thread::get_id() == ui_thread_;
}

WindowSystem::Window* WindowSystem::find(WindowId id) {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.get();
}

const WindowSystem::Window* WindowSystem::find(WindowId id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second.get();
}

WindowId WindowSystem::create(WindowSpec spec) {
  const WindowId parent = spec.parent;
  Window* p = parent ? find(parent) : nullptr;
  if (parent && !p) return 0;
  auto w = std::make_unique<Window>();
  w->id = next_id_++;
  w->spec = std::move(spec);
  const WindowId id = w->id;
  windows_[id] = std::move(w);
  if (p) {
    p->children.push_back(id);
  } else {
    z_order_.push_back(id);
    bring_to_top(id);
  }
  dispatch({id, msg::kCreate, 0, 0});
  if (exists(id) && visible(id)) invalidate(id);
  if (!parent) notify_observers();
  return id;
}

void WindowSystem::destroy(WindowId id) {
  Window* w = find(id);
  if (!w) return;
  // Children first, topmost child first.
  while (true) {
    w = find(id);
    if (!w || w->children.empty()) break;
    destroy(w->children.back());
  }
  if (!find(id)) return;
  dispatch({id, msg::kDestroy, 0, 0});
  w = find(id);
  if (!w) return;
  if (WindowId p = w->spec.parent) {
    if (Window* pw = find(p)) std::erase(pw->children, id);
  } else {
    std::erase(z_order_, id);
  }
  std::erase_if(timers_, [id](const Timer& t) { return t.window == id; });
  std::erase(invalid_, id);
  for (auto& frame : modal_) {
    if (frame.window == id && !frame.ended) {
      frame.ended = true;
      frame.code = 0;
    }
  }
  if (capture_ == id) capture_ = 0;
  if (focus_ == id) focus_ = 0;
  const bool was_active = active_ == id;
  const bool top_level = w->spec.parent == 0;
  windows_.erase(id);
  if (was_active) {
    active_ = 0;
    // The next visible top-level becomes active, as a closing dialog hands
    // the activation back to the window below it.
    for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
      const Window* t = find(*it);
      if (t && t->spec.visible && t->enabled && t->spec.class_name != "HHTaskBar" &&
          t->spec.class_name != "SipWndClass") {
        set_active(*it);
        break;
      }
    }
  }
  if (top_level) notify_observers();
  // Whatever it covered must be drawn again.
  invalidate_all();
}

bool WindowSystem::exists(WindowId id) const {
  return find(id) != nullptr;
}

Handler WindowSystem::set_handler(WindowId id, Handler handler) {
  Window* w = find(id);
  if (!w) return {};
  std::swap(w->spec.handler, handler);
  return handler;
}

void WindowSystem::show(WindowId id, bool visible_now) {
  Window* w = find(id);
  if (!w || w->spec.visible == visible_now) return;
  w->spec.visible = visible_now;
  dispatch({id, msg::kShowWindow, visible_now ? 1u : 0u, 0});
  if (visible_now) {
    if (!w->spec.parent) bring_to_top(id);
    invalidate(id);
  } else {
    if (capture_ && is_ancestor(id, capture_)) capture_ = 0;
    invalidate_all();
  }
}

bool WindowSystem::visible(WindowId id) const {
  for (const Window* w = find(id); w; w = find(w->spec.parent)) {
    if (!w->spec.visible) return false;
    if (!w->spec.parent) return true;
  }
  return false;
}

void WindowSystem::move(WindowId id, Rect r) {
  Window* w = find(id);
  if (!w) return;
  w->spec.rect = r;
  invalidate_all();
}

Rect WindowSystem::rect(WindowId id) const {
  const Window* w = find(id);
  return w ? w->spec.rect : Rect{};
}

Rect WindowSystem::screen_rect(WindowId id) const {
  const Window* w = find(id);
  if (!w) return {};
  Rect r = w->spec.rect;
  for (const Window* p = find(w->spec.parent); p; p = find(p->spec.parent))
    r = r.offset(p->spec.rect.left, p->spec.rect.top);
  return r;
}

WindowId WindowSystem::parent(WindowId id) const {
  const Window* w = find(id);
  return w ? w->spec.parent : 0;
}

std::vector<WindowId> WindowSystem::children(WindowId id) const {
  const Window* w = find(id);
  return w ? w->children : std::vector<WindowId>{};
}

std::u16string WindowSystem::title(WindowId id) const {
  const Window* w = find(id);
  return w ? w->spec.title : std::u16string{};
}

void WindowSystem::set_title(WindowId id, std::u16string t) {
  if (Window* w = find(id)) {
    w->spec.title = std::move(t);
    notify_observers();
  }
}

std::string WindowSystem::class_name(WindowId id) const {
  const Window* w = find(id);
  return w ? w->spec.class_name : std::string{};
}

void WindowSystem::enable(WindowId id, bool e) {
  if (Window* w = find(id)) w->enabled = e;
}

bool WindowSystem::enabled(WindowId id) const {
  for (const Window* w = find(id); w; w = find(w->spec.parent))
    if (!w->enabled) return false;
  return exists(id);
}

WindowId WindowSystem::find_window(const std::string& cls, const std::u16string& t) const {
  for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
    const Window* w = find(*it);
    if (!w) continue;
    if (!cls.empty() && w->spec.class_name != cls) continue;
    if (!t.empty() && w->spec.title != t) continue;
    return *it;
  }
  return 0;
}

void WindowSystem::bring_to_top(WindowId id) {
  const Window* w = find(id);
  if (!w || w->spec.parent) return;
  std::erase(z_order_, id);
  if (w->spec.topmost) {
    z_order_.push_back(id);
    return;
  }
  // Below the first topmost window.
  auto pos = std::find_if(z_order_.begin(), z_order_.end(), [this](WindowId o) {
    const Window* ow = find(o);
    return ow && ow->spec.topmost;
  });
  z_order_.insert(pos, id);
}

std::vector<WindowId> WindowSystem::top_levels() const {
  return z_order_;
}

void WindowSystem::invalidate(WindowId id) {
  if (!exists(id)) return;
  if (std::find(invalid_.begin(), invalid_.end(), id) == invalid_.end()) invalid_.push_back(id);
  // Children lie over their parent and are drawn after it.
  for (WindowId c : children(id)) invalidate(c);
}

void WindowSystem::invalidate_all() {
  for (WindowId id : z_order_) invalidate(id);
}

void WindowSystem::update(WindowId id) {
  auto it = std::find(invalid_.begin(), invalid_.end(), id);
  if (it == invalid_.end()) return;
  invalid_.erase(it);
  if (!visible(id)) return;
  dispatch({id, msg::kEraseBackground, 0, 0});
  dispatch({id, msg::kPaint, 0, 0});
}

bool WindowSystem::post(WindowId id, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  {
    std::lock_guard lock(queue_mutex_);
    if (closed_) return false;
    queue_.push_back({{id, message, wparam, lparam}, nullptr, nullptr});
    notify_locked();
  }
  queue_cv_.notify_all();
  return true;
}

intptr_t WindowSystem::send(WindowId id, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  if (on_ui_thread()) return dispatch({id, message, wparam, lparam});
  auto state = std::make_shared<SendState>();
  auto result = state->result.get_future();
  {
    std::lock_guard lock(queue_mutex_);
    if (closed_) return 0;
    // Sends go before posted messages, as a sent message is handled before
    // the queue is read again.
    auto pos = std::find_if(queue_.begin(), queue_.end(),
                            [](const Queued& q) { return !q.send && !q.call; });
    queue_.insert(pos, {{id, message, wparam, lparam}, state, nullptr});
    notify_locked();
  }
  queue_cv_.notify_all();
  return result.get();
}

bool WindowSystem::run_on_ui_thread(std::function<void()> fn, int timeout_ms) {
  if (on_ui_thread()) {
    fn();
    return true;
  }
  auto state = std::make_shared<SendState>();
  auto result = state->result.get_future();
  {
    std::lock_guard lock(queue_mutex_);
    if (closed_) return false;
    queue_.push_front({{}, state, std::move(fn)});
    notify_locked();
  }
  queue_cv_.notify_all();
  if (result.wait_for(std::chrono::milliseconds(timeout_ms)) != std::future_status::ready)
    return false;
  return result.get() != 0;
}

bool WindowSystem::post_call(std::function<void()> fn) {
  {
    std::lock_guard lock(queue_mutex_);
    if (closed_) return false;
    queue_.push_back({{}, nullptr, std::move(fn)});
    notify_locked();
  }
  queue_cv_.notify_all();
  return true;
}

void WindowSystem::wake() {
  {
    std::lock_guard lock(queue_mutex_);
    woken_ = true;
    notify_locked();
  }
  queue_cv_.notify_all();
}

void WindowSystem::process_sent_messages() {
  std::vector<Queued> sends;
  {
    std::lock_guard lock(queue_mutex_);
    for (auto it = queue_.begin(); it != queue_.end();) {
      if (it->send && !it->call) {
        sends.push_back(std::move(*it));
        it = queue_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& q : sends)
    q.send->result.set_value(exists(q.message.window) ? dispatch(q.message) : 0);
}

void WindowSystem::fail_pending_sends() {
  std::deque<Queued> pending;
  {
    std::lock_guard lock(queue_mutex_);
    pending.swap(queue_);
  }
  for (auto& q : pending) {
    if (q.send)
      q.send->result.set_value(0);
    else if (!q.call && undelivered_)
      undelivered_(q.message);
  }
}

intptr_t WindowSystem::dispatch(const Message& m) {
  Window* w = find(m.window);
  if (!w || !w->spec.handler) return 0;
  // A copy: the handler may replace itself or destroy its window.
  Handler h = w->spec.handler;
  return h(m);
}

void WindowSystem::set_timer(WindowId id, uintptr_t timer_id, int period_ms) {
  if (!exists(id)) return;
  const auto period = std::chrono::milliseconds(std::max(period_ms, 1));
  for (auto& t : timers_) {
    if (t.window == id && t.id == timer_id) {
      t.period = period;
      t.due = Clock::now() + period;
      return;
    }
  }
  timers_.push_back({id, timer_id, period, Clock::now() + period});
}

void WindowSystem::kill_timer(WindowId id, uintptr_t timer_id) {
  std::erase_if(timers_, [&](const Timer& t) { return t.window == id && t.id == timer_id; });
}

int WindowSystem::run_modal(WindowId id) {
  Window* w = find(id);
  if (!w) return 0;
  const WindowId owner = w->spec.owner;
  const bool owner_was_enabled = owner && enabled(owner);
  if (owner) enable(owner, false);
  const WindowId previous_active = active_;
  modal_.push_back({id});
  const size_t depth = modal_.size();
  show(id, true);
  set_active(id);
  while (!modal_[depth - 1].ended && !quit_) pump(-1);
  const int code = quit_ && !modal_[depth - 1].ended ? kQuitCode : modal_[depth - 1].code;
  modal_.resize(depth - 1);
  if (owner && owner_was_enabled) enable(owner, true);
  if (exists(previous_active) && active_ != previous_active && previous_active != id) {
    if (!exists(id) || active_ == id || active_ == 0) set_active(previous_active);
  }
  return code;
}

void WindowSystem::end_modal(WindowId id, int code) {
  for (auto it = modal_.rbegin(); it != modal_.rend(); ++it) {
    if (it->window == id && !it->ended) {
      it->ended = true;
      it->code = code;
      break;
    }
  }
  wake();
}

int WindowSystem::modal_depth() const {
  return int(modal_.size());
}

void WindowSystem::quit(int code) {
  if (!quit_) quit_code_ = code;
  quit_ = true;
  wake();
}

bool WindowSystem::quitting() const {
  return quit_;
}
int WindowSystem::quit_code() const {
  return quit_code_;
}

int WindowSystem::run() {
  while (!quit_) pump(-1);
  return quit_code_;
}

bool WindowSystem::pump(int wait_ms) {
  if (source_) source_->poll();
  if (dispatch_one_queued() || dispatch_one_timer() || dispatch_one_paint()) return true;
  if (source_) {
    source_->idle();
    if (dispatch_one_queued() || !invalid_.empty()) return true;
  }
  if (wait_ms != 0 && !quit_) wait_for_work(wait_ms);
  return false;
}

bool WindowSystem::dispatch_one_queued() {
  Queued q;
  {
    std::lock_guard lock(queue_mutex_);
    if (queue_.empty()) return false;
    q = std::move(queue_.front());
    queue_.pop_front();
  }
  if (q.call) {
    q.call();
    if (q.send) q.send->result.set_value(1);
  } else if (q.send) {
    q.send->result.set_value(exists(q.message.window) ? dispatch(q.message) : 0);
  } else {
    const Window* w = find(q.message.window);
    if (w && w->spec.handler)
      dispatch(q.message);
    else if (undelivered_)
      undelivered_(q.message);
  }
  return true;
}

void WindowSystem::call_after(int ms, std::function<void()> fn) {
  delayed_.push_back({Clock::now() + std::chrono::milliseconds(std::max(ms, 0)), std::move(fn)});
}

bool WindowSystem::dispatch_one_timer() {
  const auto now = Clock::now();
  auto next = std::min_element(delayed_.begin(), delayed_.end(),
                               [](const Delayed& a, const Delayed& b) { return a.due < b.due; });
  if (next != delayed_.end() && next->due <= now) {
    std::function<void()> fn = std::move(next->fn);
    delayed_.erase(next);
    fn();
    return true;
  }
  auto due = std::min_element(timers_.begin(), timers_.end(),
                              [](const Timer& a, const Timer& b) { return a.due < b.due; });
  if (due == timers_.end() || due->due > now) return false;
  // One message per expiry however late we are, like a coalesced timer.
  due->due = now + due->period;
  dispatch({due->window, msg::kTimer, due->id, 0});
  return true;
}

bool WindowSystem::dispatch_one_paint() {
  if (invalid_.empty()) return false;
  // Parents were queued before their children, and lower windows before
  // higher ones after invalidate_all(): paint in that order.
  WindowId id = invalid_.front();
  update(id);
  return true;
}

void WindowSystem::wait_for_work(int wait_ms) {
  const auto now = Clock::now();
  auto limit = now + std::chrono::hours(1);
  bool forever = wait_ms < 0;
  if (wait_ms >= 0) limit = now + std::chrono::milliseconds(wait_ms);
  for (const auto& t : timers_) {
    limit = std::min(limit, t.due);
    forever = false;
  }
  for (const auto& d : delayed_) {
    limit = std::min(limit, d.due);
    forever = false;
  }
  if (source_) {
    const int source_wait = source_->max_wait_ms();
    if (source_wait >= 0) {
      limit = std::min(limit, now + std::chrono::milliseconds(source_wait));
      forever = false;
    }
  }
  std::unique_lock lock(queue_mutex_);
  if (source_ && source_->waits_itself()) {
    if (queue_.empty() && !woken_) {
      sleeping_in_ = source_;
      lock.unlock();
      // Rounded up, so a timer is due when the wait ends.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - Clock::now());
      source_->wait(forever ? -1 : int(std::max<int64_t>(0, left.count())));
      lock.lock();
      sleeping_in_ = nullptr;
    }
  } else {
    queue_cv_.wait_until(lock, limit, [this] { return !queue_.empty() || woken_; });
  }
  woken_ = false;
}

void WindowSystem::notify_locked() {
  if (sleeping_in_) sleeping_in_->wake();
}

WindowId WindowSystem::set_capture(WindowId id) {
  const WindowId old = capture_;
  capture_ = exists(id) ? id : 0;
  return old;
}

void WindowSystem::release_capture() {
  capture_ = 0;
}
WindowId WindowSystem::capture() const {
  return capture_;
}

WindowId WindowSystem::set_focus(WindowId id) {
  const WindowId old = focus_;
  if (old == id) return old;
  focus_ = exists(id) ? id : 0;
  if (exists(old)) dispatch({old, msg::kKillFocus, focus_, 0});
  if (focus_) dispatch({focus_, msg::kSetFocus, old, 0});
  return old;
}

WindowId WindowSystem::focus() const {
  return focus_;
}

WindowId WindowSystem::set_active(WindowId id) {
  id = top_level_of(id);
  const WindowId old = active_;
  if (old == id) return old;
  active_ = id;
  if (exists(old)) dispatch({old, msg::kActivate, 0, intptr_t(id)});
  if (exists(id)) {
    bring_to_top(id);
    dispatch({id, msg::kActivate, 1, intptr_t(old)});
  }
  // The focus stays inside the active window.
  if (focus_ && top_level_of(focus_) != active_) set_focus(0);
  notify_observers();
  return old;
}

WindowId WindowSystem::active() const {
  return active_;
}

void WindowSystem::set_foreground(bool fg) {
  if (foreground_ == fg) return;
  foreground_ = fg;
  notify_observers();
}

bool WindowSystem::foreground() const {
  return foreground_;
}

void WindowSystem::add_observer(std::function<void()> on_change) {
  observers_.push_back(std::move(on_change));
}

void WindowSystem::notify_observers() {
  for (auto& o : observers_) o();
}

WindowId WindowSystem::top_level_of(WindowId id) const {
  const Window* w = find(id);
  while (w && w->spec.parent) w = find(w->spec.parent);
  return w ? w->id : 0;
}

bool WindowSystem::is_ancestor(WindowId ancestor, WindowId id) const {
  for (const Window* w = find(id); w; w = find(w->spec.parent))
    if (w->id == ancestor) return true;
  return false;
}

WindowId WindowSystem::hit(WindowId id, Point p) const {
  const Window* w = find(id);
  if (!w || !w->spec.visible) return 0;
  const Rect r = screen_rect(id);
  if (!r.contains(p)) return 0;
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
    if (WindowId c = hit(*it, p)) return c;
  return id;
}

WindowId WindowSystem::window_at(Point p) const {
  for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it)
    if (WindowId w = hit(*it, p)) return w;
  return 0;
}

void WindowSystem::stylus(StylusAction action, Point p) {
  WindowId target = capture_ ? capture_ : window_at(p);
  if (!target) return;
  // A window disabled by a modal dialog takes no input.
  if (!enabled(target)) return;
  if (action == StylusAction::kDown) {
    const WindowId top = top_level_of(target);
    const Window* tw = find(top);
    // Overlays of the shell (task bar, input panel) never take activation.
    if (tw && !tw->spec.topmost && active_ != top) set_active(top);
  }
  const Rect r = screen_rect(target);
  const uint32_t m = action == StylusAction::kDown   ? msg::kStylusDown
                     : action == StylusAction::kMove ? msg::kStylusMove
                                                     : msg::kStylusUp;
  dispatch(
      {target, m, action == StylusAction::kUp ? 0u : 1u, point_lparam(p.x - r.left, p.y - r.top)});
}

void WindowSystem::key(uint32_t key_code, bool down) {
  keys_[key_code & 0xff] = down;
  // A key the focused control leaves (0) goes on to its parents, the way
  // Enter in a field reaches the screen's default action.
  for (WindowId target = focus_ ? focus_ : active_; target && enabled(target);
       target = parent(target)) {
    if (dispatch({target, down ? msg::kKeyDown : msg::kKeyUp, key_code, 0}) != 0) break;
  }
}

void WindowSystem::character(char16_t ch) {
  const WindowId target = focus_ ? focus_ : active_;
  if (target && enabled(target)) dispatch({target, msg::kChar, ch, 0});
}

void WindowSystem::composition(const std::u16string& text, int cursor) {
  const WindowId target = focus_ ? focus_ : active_;
  if (target && enabled(target))
    dispatch({target, msg::kComposition, uintptr_t(std::max(0, cursor)), intptr_t(&text)});
}

bool WindowSystem::key_held(uint32_t key_code) const {
  return keys_[key_code & 0xff];
}

void WindowSystem::set_event_source(EventSource* source) {
  source_ = source;
}

}  // namespace tavrin::platform
