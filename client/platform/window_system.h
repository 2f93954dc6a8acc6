// The client's windowing: a tree of rectangles with message handlers, one
// message queue, timers, nested modal loops, capture, focus and activation.
//
// Threads: the thread that constructs the WindowSystem is the UI thread;
// every call except post(), send(), run_on_ui_thread() and wake() belongs
// to it. post() and send() may be called from any thread: a send from
// another thread waits until the UI thread has run the handler (or the
// window or the whole system is gone, then it returns 0). Handlers run on
// the UI thread only.
//
// Ownership: the system owns the window records; whoever creates a window
// destroys it (destroying a parent destroys its children first). Window ids
// are never reused, so a message for a destroyed window is dropped.
//
// Coordinates: a top-level window's rect is in screen coordinates, a child's
// rect in its parent's client coordinates. Stylus messages carry client
// coordinates.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/geometry.h"
#include "platform/messages.h"

namespace tavrin::platform {

using Handler = std::function<intptr_t(const Message&)>;

struct WindowSpec {
  WindowId parent = 0;  // 0: a top-level window
  WindowId owner = 0;   // a top-level window disabled while this one runs modally
  Rect rect;
  std::u16string title;
  std::string class_name;
  Handler handler;
  bool visible = true;
  bool topmost = false;  // stays above ordinary top-level windows
};

// Input and wake-ups from outside: the display backend, a script player.
class EventSource {
 public:
  virtual ~EventSource() = default;
  // Feeds whatever input arrived into the system; UI thread.
  virtual void poll() = 0;
  // Longest the loop may sleep before poll() must run again; -1: no limit.
  virtual int max_wait_ms() = 0;
  // A source whose input cannot wake the queue's condition variable (a
  // desktop's event queue) does the loop's sleeping itself: wait() returns
  // when its own input arrives, after timeout_ms (-1: no limit), or once
  // wake() was called from any thread since the wait began.
  virtual bool waits_itself() const { return false; }
  virtual void wait(int /*timeout_ms*/) {}
  virtual void wake() {}
  // Called when a round of the loop found nothing to dispatch: every queued
  // message, due timer and paint has been handled.
  virtual void idle() {}
};

enum class StylusAction { kDown, kMove, kUp };

class WindowSystem {
 public:
  static constexpr int kQuitCode = -1;  // what run_modal returns after quit()

  WindowSystem();
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // The system of this process, or null; set by the constructor. For the
  // UI thread: another thread could see it destroyed right after.
  static WindowSystem* instance();
  // Any thread (a signal handler's thread): queues fn on the system of this
  // process, if one exists; safe against the system's destruction.
  static bool post_to_instance(std::function<void()> fn);
  // Any thread: posts to a window of the system of this process; false when
  // there is no system (or it is closing).
  static bool post_to_instance(WindowId id, uint32_t message, uintptr_t wparam, intptr_t lparam);
  // Called on the UI thread for each posted message that finds its window
  // gone, and for each one still queued when the system closes, so that
  // what it carries can be freed.
  void set_undelivered_handler(std::function<void(const Message&)> handler);
  bool on_ui_thread() const;

  // --- windows (UI thread) ---
  WindowId create(WindowSpec spec);  // sends kCreate
  void destroy(WindowId id);         // children first; each gets kDestroy
  bool exists(WindowId id) const;
  Handler set_handler(WindowId id, Handler handler);  // returns the previous one
  void show(WindowId id, bool visible);               // sends kShowWindow on change
  bool visible(WindowId id) const;                    // itself and all its ancestors shown
  void move(WindowId id, Rect rect);
  Rect rect(WindowId id) const;         // as given (parent coordinates)
  Rect screen_rect(WindowId id) const;  // in screen coordinates
  WindowId parent(WindowId id) const;
  std::vector<WindowId> children(WindowId id) const;
  std::u16string title(WindowId id) const;
  void set_title(WindowId id, std::u16string title);
  std::string class_name(WindowId id) const;
  void enable(WindowId id, bool enabled);
  bool enabled(WindowId id) const;
  // Top-level windows by title or class (empty = any); 0 when none.
  WindowId find_window(const std::string& class_name, const std::u16string& title) const;
  void bring_to_top(WindowId id);
  std::vector<WindowId> top_levels() const;  // bottom to top

  // Painting: invalidated windows get kEraseBackground and kPaint when the
  // queue is empty; update() paints at once.
  void invalidate(WindowId id);
  void invalidate_all();
  void update(WindowId id);

  // --- messages ---
  bool post(WindowId id, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
  intptr_t send(WindowId id, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Runs fn on the UI thread and waits up to timeout_ms; false when it did not run.
  bool run_on_ui_thread(std::function<void()> fn, int timeout_ms);
  // Queues fn to run on the UI thread in turn with posted messages.
  bool post_call(std::function<void()> fn);
  void wake();
  // Runs the sends that other threads are waiting on; for UI-thread waits.
  void process_sent_messages();

  // --- timers: kTimer with the id in wparam, every period until killed ---
  void set_timer(WindowId id, uintptr_t timer_id, int period_ms);
  void kill_timer(WindowId id, uintptr_t timer_id);
  // Runs fn once, ms from now, in turn with the timers (an animation's next
  // frame: the thread sleeps, or handles other work, meanwhile).
  void call_after(int ms, std::function<void()> fn);

  // --- modal loops ---
  // Shows and activates the window and dispatches every window's messages
  // until end_modal() names it; returns that code (kQuitCode after quit(),
  // 0 when the window is destroyed first). The owner is disabled meanwhile.
  int run_modal(WindowId id);
  void end_modal(WindowId id, int code);
  int modal_depth() const;
  // Ends every modal loop; run() returns the code.
  void quit(int code);
  bool quitting() const;
  int quit_code() const;
  // Dispatches until quit(); for a process without a modal main window.
  int run();
  // One round: input, one message or timer or paint, else wait up to wait_ms.
  // Returns true when something was dispatched.
  bool pump(int wait_ms);

  // --- capture, focus, activation ---
  WindowId set_capture(WindowId id);  // returns the previous capture
  void release_capture();
  WindowId capture() const;
  WindowId set_focus(WindowId id);  // kKillFocus / kSetFocus; returns the previous
  WindowId focus() const;
  WindowId set_active(WindowId id);  // top-level; kActivate to both; returns previous
  WindowId active() const;
  // Whether the client is the foreground program of the desktop.
  void set_foreground(bool foreground);
  bool foreground() const;
  // Called on the UI thread whenever the active window or a title changes.
  void add_observer(std::function<void()> on_change);

  // --- input (UI thread): stylus to the capture, else the window under the
  // point; keys and characters to the focus (a key it leaves unhandled goes
  // on to its parents) ---
  void stylus(StylusAction action, Point screen);
  void key(uint32_t key_code, bool down);
  void character(char16_t ch);
  // The input method's composition, to the focus (see msg::kComposition).
  void composition(const std::u16string& text, int cursor);
  // Where the focused box wants the input method's candidates: its caret,
  // in display coordinates. The desktop backend passes it on.
  void set_text_input_rect(Rect r) { text_input_rect_ = r; }
  Rect text_input_rect() const { return text_input_rect_; }
  bool key_held(uint32_t key_code) const;
  WindowId window_at(Point screen) const;

  void set_event_source(EventSource* source);  // not owned; null to remove
  EventSource* event_source() const { return source_; }

 private:
  struct Window;
  struct Timer {
    WindowId window;
    uintptr_t id;
    std::chrono::milliseconds period;
    std::chrono::steady_clock::time_point due;
  };
  struct Delayed {
    std::chrono::steady_clock::time_point due;
    std::function<void()> fn;
  };
  struct SendState;
  struct Queued {
    Message message;
    std::shared_ptr<SendState> send;  // set for a cross-thread send
    std::function<void()> call;       // run_on_ui_thread
  };
  struct ModalFrame {
    WindowId window;
    bool ended = false;
    int code = 0;
  };

  intptr_t dispatch(const Message& m);
  Window* find(WindowId id);
  const Window* find(WindowId id) const;
  WindowId top_level_of(WindowId id) const;
  bool is_ancestor(WindowId ancestor, WindowId id) const;
  WindowId hit(WindowId id, Point screen) const;
  void notify_observers();
  bool dispatch_one_queued();
  bool dispatch_one_timer();
  bool dispatch_one_paint();
  void wait_for_work(int wait_ms);
  // Wakes the sleeping UI thread; with queue_mutex_ held.
  void notify_locked();
  void fail_pending_sends();

  std::thread::id ui_thread_;
  std::map<WindowId, std::unique_ptr<Window>> windows_;  // UI thread
  std::vector<WindowId> z_order_;                        // top-levels, bottom to top
  WindowId next_id_ = 1;
  std::vector<Timer> timers_;
  std::vector<Delayed> delayed_;  // call_after; UI thread
  std::vector<ModalFrame> modal_;
  std::vector<WindowId> invalid_;
  std::vector<std::function<void()>> observers_;
  EventSource* source_ = nullptr;
  std::function<void(const Message&)> undelivered_;
  WindowId capture_ = 0, focus_ = 0, active_ = 0;
  Rect text_input_rect_;
  bool foreground_ = true;
  bool quit_ = false;
  int quit_code_ = 0;
  bool keys_[256] = {};

  mutable std::mutex queue_mutex_;
  std::condition_variable queue_cv_;  // guarded by queue_mutex_
  std::deque<Queued> queue_;          // guarded by queue_mutex_
  bool closed_ = false;               // guarded by queue_mutex_
  bool woken_ = false;                // guarded by queue_mutex_
  // The source the UI thread sleeps in, while it does; woken by whatever
  // wakes the condition variable.
  EventSource* sleeping_in_ = nullptr;  // guarded by queue_mutex_
};

}  // namespace tavrin::platform
