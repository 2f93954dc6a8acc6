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
#include "mainwnd/main_window_run.h"
#include "platform/text_codec.h"
#include "platform/window_system.h"
#include "shell/app.h"
#include "shell/app_paths.h"
#include "shell/path_choice.h"

namespace {

void usage() {
  std::puts(
      "usage: tavrin [--server HOST:PORT | --nav HOST[:PORT]] [--domain NAME]\n"
      "              [--signin URL] [--ca-file FILE] [--no-auto-dial]\n"
      "              [--headless] [--touch] [--zoom N] [--script FILE] [--instance-dir DIR]\n"
      "              [--print-paths]\n"
      "  --server HOST:PORT  the SIP-C proxy (instead of the one saved at the last login)\n"
      "  --nav HOST[:PORT]   the navigation server, asked when no proxy is known\n"
      "  --domain NAME       the service's SIP domain (default tavrin.local)\n"
      "  --signin URL        the HTTPS sign-in server that resolves mobile numbers\n"
      "  --ca-file FILE      certificate authorities trusted for HTTPS and for SIP-C\n"
      "                      over TLS (--server tls://HOST:PORT)\n"
      "  --no-auto-dial      do not wait for a network route before logging in\n"
      "  --headless          run without a window (SDL's offscreen display)\n"
      "  --touch             show the input panel's keyboard even with a keyboard attached\n"
      "  --zoom N            show the 480 x 800 display N times larger (1-4)\n"
      "  --script FILE       replay taps, drags, keys, text, waits and screenshots\n"
      "  --instance-dir DIR  where the one-client-per-user lock lives\n"
      "  --print-paths       print where the client keeps its files, and why there");
}

// Where the engine finds the service, from the command line; applied once
// the engine runs, before the first login.
struct ServiceOptions {
  std::string server, nav_host, domain, signin;
  std::string ca_file;  // also what a TLS connection to the SIP-C server trusts
  int nav_port = 80;
};

// HOST[:PORT] into its parts; false for an empty host or a bad port.
bool split_host_port(const std::string& text, std::string* host, int* port) {
  const size_t colon = text.rfind(':');
  *host = text.substr(0, colon);
  if (colon != std::string::npos) {
    char* end = nullptr;
    const long p = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || p < 1 || p > 65535) return false;
    *port = int(p);
  }
  return !host->empty();
}

bool apply_service_options(const ServiceOptions& o) {
  bool ok = true;
  if (!o.domain.empty()) ok &= fx_set_sip_domain(o.domain.c_str()) == 1;
  if (!o.nav_host.empty()) ok &= fx_set_navigation_address(o.nav_host.c_str(), o.nav_port) == 1;
  if (!o.server.empty()) ok &= fx_set_serve_address(o.server.c_str()) == 1;
  if (!o.signin.empty()) ok &= fx_set_signin_address(o.signin.c_str()) == 1;
  if (!o.ca_file.empty()) ok &= fx_set_ca_file(o.ca_file.c_str()) == 1;
  if (!ok) std::fprintf(stderr, "tavrin: the engine refused a connection option\n");
  return ok;
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
  ServiceOptions service;
  tavrin::screens::LoginConfig login;
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
    else if (a == "--touch")
      options.touch = true;
    else if (a == "--zoom")
      options.zoom = std::atoi(value().c_str());
    else if (a == "--script")
      options.script = value();
    else if (a == "--ca-file")
      options.ca_file = value();
    else if (a == "--server")
      service.server = value();
    else if (a == "--nav") {
      if (!split_host_port(value(), &service.nav_host, &service.nav_port)) {
        std::fprintf(stderr, "tavrin: --nav wants HOST[:PORT]\n");
        return 2;
      }
    } else if (a == "--domain")
      service.domain = value();
    else if (a == "--signin")
      service.signin = value();
    else if (a == "--no-auto-dial")
      login.auto_dial = false;
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
    const auto choice = shell::choose_paths(shell::PathEnvironment::current());
    std::puts(choice.reason.c_str());
    const auto& p = choice.paths;
    for (const auto* s : {&p.install_folder, &p.theme_folder, &p.database_path, &p.font_file_path,
                          &p.sounds_folder})
      std::puts(platform::utf16_to_utf8(*s).c_str());
    std::puts(p.settings_file().c_str());
    std::puts(p.theme_file().c_str());
    return 0;
  }
  SignalQuit signals;
  shell::EngineLink engine;
  service.ca_file = options.ca_file;
  engine.init = [&service] { return fx_init() == 1 && apply_service_options(service) ? 1 : 0; };
  engine.loginout = [] { fx_loginout(); };
  engine.terminate = [] { fx_terminate(); };
  shell::CBriskLibTavrinApp app(options, engine);
  app.set_main_window([&](shell::CBriskLibTavrinApp& running) {
    login.database = shell::to_path(shell::app_paths().database_path);
    login.ca_file = options.ca_file;
    login.server_override = platform::utf8_to_utf16(service.server);
    if (char* signin = fx_get_signin_address()) {
      login.signin_url = signin;
      std::free(signin);
    }
    return mainwnd::run_main_window(running, login);
  });
  return app.run();
}
