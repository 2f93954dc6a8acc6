#include "frame/engine.h"

namespace tavrin {

namespace {

int idle_start() {
  return 1;
}
void idle_stop() {}
int idle_check() {
  return 0;
}
int idle_connect() {
  return 0;
}
int idle_close() {
  return 1;
}
int idle_poll(char*, int, int) {
  return 0;
}
int idle_send(const char*, int) {
  return 0;
}

// The table in place before fx_init and after fx_terminate: no connection.
const NetDriver kIdleDriver{idle_start, idle_stop, idle_check, idle_connect,
                            idle_close, idle_poll, idle_send};

}  // namespace

Engine::Engine()
    : driver_(&kIdleDriver), worker_(waker, [this]() -> const NetDriver& { return net(); }) {}

int Engine::init(const NetDriver& given, const WireHooks& hooks) {
  std::lock_guard lock(lifecycle_mu_);
  if (running_) return 1;
  worker_.set_hooks(hooks);
  timer_thread_.start();
  const NetDriver* driver = preset_driver_ ? preset_driver_ : &given;
  driver_.store(driver, std::memory_order_release);
  if (!driver->start()) {
    timer_thread_.stop();
    driver_.store(&kIdleDriver, std::memory_order_release);
    return 0;
  }
  worker_.start();
  running_ = true;
  return 1;
}

void Engine::terminate() {
  std::lock_guard lock(lifecycle_mu_);
  if (!running_) return;
  worker_.stop();
  net().close();
  net().stop();
  // No timer may fire once the records below are freed.
  timer_thread_.stop();
  driver_.store(&kIdleDriver, std::memory_order_release);
  timers.clear();
  send_queue.clear();
  messages.clear();
  std::vector<std::function<void()>> teardowns;
  {
    std::lock_guard teardown_lock(teardown_mu_);
    teardowns = teardowns_;
  }
  for (auto& teardown : teardowns) teardown();
  callbacks.set_system(nullptr, nullptr);
  running_ = false;
}

void Engine::preset_driver(const NetDriver* driver) {
  std::lock_guard lock(lifecycle_mu_);
  preset_driver_ = driver;
}

bool Engine::running() {
  return running_.load();
}

void Engine::add_teardown(std::function<void()> teardown) {
  std::lock_guard lock(teardown_mu_);
  teardowns_.push_back(std::move(teardown));
}

Engine& engine() {
  // Never destroyed: engine threads may outlive static destruction when a
  // client exits without fx_terminate.
  static Engine* const instance = new Engine;
  return *instance;
}

}  // namespace tavrin
