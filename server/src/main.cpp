// tavrin-server: the local Tavrin service. One process, one epoll loop:
// navigation (HTTP), the SIP-C proxy (plain and TLS) and sign-in (HTTPS),
// data in SQLite. SIGHUP reads the TLS certificate and key again.
// See server/README.md for flags, the demo world and the own-info request.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "data_folder.h"
#include "demo_seed.h"
#include "endpoints.h"
#include "event_loop.h"
#include "http_endpoint.h"
#include "listener.h"
#include "log.h"
#include "options.h"
#include "registrar.h"
#include "sipc_service.h"
#include "store.h"
#include "tls_certs.h"
#include "tls_context.h"

using namespace tavrin::server;

namespace {

EventLoop* gLoop = nullptr;
volatile std::sig_atomic_t gStopAsked = 0;  // a signal that came before the loop existed
volatile std::sig_atomic_t gReloadAsked = 0;  // SIGHUP: read the TLS files again

void onSignal(int) {
  gStopAsked = 1;
  if (gLoop) gLoop->stop();
}

void onHangup(int) {
  gReloadAsked = 1;
}

void raiseFileLimit() {
  rlimit rl{};
  if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
    rl.rlim_cur = rl.rlim_max;
    setrlimit(RLIMIT_NOFILE, &rl);
  }
}

int run(const Options& opt) {
  std::string dbPath = ":memory:";
  std::string tlsDir = opt.dataDir + "/tls";
  const bool anyTls = !opt.noSignin || opt.sipcTlsPort >= 0;
  const bool madeCertificate = anyTls && opt.tlsCertFile.empty();
  if (!opt.memoryDb || madeCertificate) {
    if (std::string err = prepareDataFolder(opt.dataDir); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: %s\n", err.c_str());
      return 1;
    }
  }
  if (!opt.memoryDb) {
    dbPath = opt.dataDir + "/tavrin-server.db";
    if (std::string err = narrowDatabaseFiles(dbPath); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: %s\n", err.c_str());
      return 1;
    }
  }
  Store store(dbPath, opt.domain);
  if (opt.demo && store.empty()) seedDemo(store);
  if (opt.benchAccounts > 0) seedBenchAccounts(store, opt.benchAccounts);

  TlsContext tls(tlsDir, opt.tlsCertFile, opt.tlsKeyFile);
  if (anyTls) {
    std::string err = madeCertificate ? ensureCertificates(tlsDir) : std::string();
    if (err.empty()) err = tls.reload();
    if (!err.empty()) {
      std::fprintf(stderr, "tavrin-server: TLS: %s\n", err.c_str());
      return 1;
    }
  }

  EventLoop loop;
  gLoop = &loop;
  if (gStopAsked) loop.stop();
  Options live = opt;  // the bound ports replace the asked ones
  SipcService service(&loop, store, live);
  std::unique_ptr<Listener> sipc, sipcTls;
  if (!opt.noSipcPlain) {
    sipc = std::make_unique<Listener>(
        loop, [&](int fd) { service.accept(fd); },
        [&] { return service.shedOldestUnregistered(); });
    if (auto err = sipc->open(opt.listenAddress, opt.sipcPort); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: sipc: %s\n", err.c_str());
      return 1;
    }
  }
  live.sipcPort = sipc ? sipc->port() : 0;
  if (opt.sipcTlsPort >= 0) {
    sipcTls = std::make_unique<Listener>(
        loop, [&](int fd) { service.accept(fd, tls.get()); },
        [&] { return service.shedOldestUnregistered(); });
    if (auto err = sipcTls->open(opt.listenAddress, opt.sipcTlsPort); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: sipc-tls: %s\n", err.c_str());
      return 1;
    }
    live.sipcTlsPort = sipcTls->port();
  }
  std::string advertised = opt.listenAddress == "0.0.0.0" ? "127.0.0.1" : opt.listenAddress;

  std::unique_ptr<HttpEndpoint> signinEndpoint;
  std::unique_ptr<Listener> signin;
  if (!opt.noSignin) {
    signinEndpoint = std::make_unique<HttpEndpoint>(
        loop,
        [&](const HttpRequest& r) {
          return signinReply(r, store, &service.registrar().throttle());
        },
        &tls);
    signin = std::make_unique<Listener>(
        loop, [&](int fd) { signinEndpoint->accept(fd); },
        [&] { return signinEndpoint->shedOldest(); });
    if (auto e = signin->open(opt.listenAddress, opt.signinPort); !e.empty()) {
      std::fprintf(stderr, "tavrin-server: sign-in: %s\n", e.c_str());
      return 1;
    }
    live.signinPort = signin->port();
  }
  std::string signinUrl = signin ? "https://" + advertised + ":" + std::to_string(live.signinPort) +
                                       "/ssiportal/SSIAppSignIn.aspx"
                                 : std::string();
  HttpEndpoint navEndpoint(loop, [&](const HttpRequest& r) {
    return navigationReply(r, advertised, live.sipcPort, signinUrl,
                           sipcTls ? live.sipcTlsPort : 0);
  });
  Listener nav(
      loop, [&](int fd) { navEndpoint.accept(fd); }, [&] { return navEndpoint.shedOldest(); });
  if (auto err = nav.open(opt.listenAddress, opt.navPort); !err.empty()) {
    std::fprintf(stderr, "tavrin-server: nav: %s\n", err.c_str());
    return 1;
  }
  live.navPort = nav.port();

  loop.every(std::chrono::seconds(1), [&] {
    if (gReloadAsked && anyTls) {
      gReloadAsked = 0;
      if (std::string err = tls.reload(); err.empty())
        logAt(0, "TLS: certificate %s read again", tls.certFile().c_str());
      else
        logAt(0, "TLS: %s; keeping the certificate in use", err.c_str());
    }
  });
  loop.every(std::chrono::seconds(1), [&] { service.tick(); });
  loop.every(std::chrono::seconds(5), [&] {
    service.sweep();
    navEndpoint.sweep();
    if (signinEndpoint) signinEndpoint->sweep();
  });
  std::printf("tavrin-server listening nav=%d sipc=%d signin=%d", live.navPort, live.sipcPort,
              signin ? live.signinPort : 0);
  if (sipcTls) std::printf(" sipc-tls=%d", live.sipcTlsPort);
  std::printf("\n");
  std::fflush(stdout);
  logAt(1, "data in %s, domain %s", opt.memoryDb ? "memory" : dbPath.c_str(), opt.domain.c_str());
  loop.run();
  logAt(1, "stopping");
  signinEndpoint.reset();
  gLoop = nullptr;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  bool help = false;
  if (auto err = parseOptions(argc, argv, opt, help)) {
    std::fprintf(stderr, "tavrin-server: %s\n%s", err->c_str(), usage());
    return 2;
  }
  if (help) {
    std::fputs(usage(), stdout);
    return 0;
  }
  gVerbosity = opt.verbosity;
  std::signal(SIGPIPE, SIG_IGN);
  // A disk that refuses to grow a file is a failed write the store reports
  // (and the sender hears about), not a reason to die.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::signal(SIGHUP, onHangup);
  raiseFileLimit();
  try {
    return run(opt);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin-server: %s\n", e.what());
    return 1;
  }
}
