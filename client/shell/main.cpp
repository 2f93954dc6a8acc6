// The client executable: options, the engine link, signals, the app.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "libtavrin.h"
#include "platform/executable.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "shell/app.h"
#include "shell/app_paths.h"

namespace {

void usage() {
  std::puts(
      "usage: tavrin [--headless] [--zoom N] [--script FILE] [--ca-file FILE]\n"
      "              [--instance-dir DIR] [--print-paths]\n"
      "  --headless       run without a window (SDL's offscreen display)\n"
      "  --zoom N         show the 480 x 800 display N times larger (1-4)\n"
      "  --script FILE    replay taps, drags, keys, text, waits and screenshots\n"
      "  --ca-file FILE   certificate authorities trusted for HTTPS\n"
      "  --instance-dir   where the one-client-per-user lock lives\n"
      "  --print-paths    print the data paths formed from the executable's folder");
}

// SIGINT and SIGTERM end the client through its normal shut-down: a thread
// takes them with sigwait and queues the quit for the UI thread.
class SignalQuit {
 public:
  SignalQuit() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR1);
    // Blocked before any other thread starts, so that all inherit the mask.
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
    thread_ = std::thread([this] {
      while (true) {
        int sig = 0;
        if (sigwait(&set_, &sig) != 0) continue;
        if (sig == SIGUSR1) return;  // our own stop
        tavrin::platform::WindowSystem::post_to_instance([] {
          if (auto* ws = tavrin::platform::WindowSystem::instance()) ws->quit(0);
        });
      }
    });
  }
  ~SignalQuit() {
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
  }

 private:
  sigset_t set_;
  std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace tavrin;
  shell::AppOptions options;
  if (const char* ca = std::getenv("TAVRIN_CA_FILE")) options.ca_file = ca;
  bool print_paths = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tavrin: %s wants a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--headless")
      options.headless = true;
    else if (a == "--zoom")
      options.zoom = std::atoi(value().c_str());
    else if (a == "--script")
      options.script = value();
    else if (a == "--ca-file")
      options.ca_file = value();
    else if (a == "--instance-dir")
      options.instance_dir = value();
    else if (a == "--print-paths")
      print_paths = true;
    else if (a == "--help" || a == "-h") {
      usage();
      return 0;
    } else {
      std::fprintf(stderr, "tavrin: unknown option %s\n", a.c_str());
      usage();
      return 2;
    }
  }
  if (print_paths) {
    const auto p = shell::AppPaths::form(platform::executable_folder());
    for (const auto* s : {&p.install_folder, &p.theme_folder, &p.database_path, &p.font_file_path,
                          &p.sounds_folder})
      std::puts(platform::utf16_to_utf8(*s).c_str());
    std::puts(p.settings_file().c_str());
    std::puts(p.theme_file().c_str());
    return 0;
  }
  SignalQuit signals;
  shell::EngineLink engine;
  engine.init = [] { return fx_init(); };
#ifdef TAVRIN_ENGINE_HAS_LOGINOUT
  engine.loginout = [] { fx_loginout(); };
#endif
  engine.terminate = [] { fx_terminate(); };
  shell::CBriskLibTavrinApp app(options, engine);
  return app.run();
}
