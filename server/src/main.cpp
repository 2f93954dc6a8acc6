// tavrin-server: the local Tavrin service. One process, one epoll loop:
// navigation (HTTP), the SIP-C proxy (plain and TLS) and sign-in (HTTPS),
// data in SQLite. SIGHUP reads the TLS certificate and key again.
// See server/README.md for flags, the demo world and the own-info request.
// Its first word may name an operator command instead (account, backup,
// restore: admin/admin_command.h).
#include <arpa/inet.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include <unistd.h>

#include "account_sync.h"
#include "admin/admin_command.h"
#include "admin/backup.h"
#include "control_socket.h"
#include "data_folder.h"
#include "demo_seed.h"
#include "endpoints.h"
#include "event_loop.h"
#include "http_endpoint.h"
#include "listener.h"
#include "log.h"
#include "metrics.h"
#include "options.h"
#include "registrar.h"
#include "sipc_service.h"
#include "sms_service.h"
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

bool isIPv4(const std::string& text) {
  in_addr a{};
  return ::inet_pton(AF_INET, text.c_str(), &a) == 1;
}

// --check-config: everything that can be known without starting; each
// fault on its own line. 0 when all is well, 2 otherwise.
int checkConfig(const Options& opt) {
  std::vector<std::string> faults;
  if (!isIPv4(opt.listenAddress)) faults.push_back("listen: not an IPv4 address: " + opt.listenAddress);
  if (opt.metricsPort >= 0 && !isIPv4(opt.metricsListen))
    faults.push_back("metrics-listen: not an IPv4 address: " + opt.metricsListen);
  if (!opt.memoryDb || !opt.noSignin) {
    if (std::string err = checkDataFolder(opt.dataDir, false); !err.empty())
      faults.push_back("data: " + err);
  }
  const std::string dbPath = opt.dataDir + "/tavrin-server.db";
  if (!opt.memoryDb && faults.empty() && ::access(dbPath.c_str(), F_OK) == 0) {
    long accounts = 0;
    if (std::string err = checkDatabaseFile(dbPath, &accounts); !err.empty()) {
      faults.push_back("data: " + err);
    } else {
      try {
        Store store(dbPath, opt.domain);  // says when the folder belongs to another domain
      } catch (const std::exception& e) {
        faults.push_back(std::string("data: ") + e.what());
      }
    }
  }
  std::vector<std::pair<const char*, int>> ports = {{"nav-port", opt.navPort},
                                                   {"sipc-port", opt.sipcPort}};
  if (!opt.noSignin) ports.push_back({"signin-port", opt.signinPort});
  if (opt.metricsPort >= 0) ports.push_back({"metrics-port", opt.metricsPort});
  for (size_t i = 0; i < ports.size(); ++i)
    for (size_t j = i + 1; j < ports.size(); ++j)
      if (ports[i].second != 0 && ports[i].second == ports[j].second)
        faults.push_back(std::string(ports[i].first) + " and " + ports[j].first +
                         " are the same port " + std::to_string(ports[i].second));
  for (const std::string& f : faults) std::fprintf(stderr, "tavrin-server: %s\n", f.c_str());
  if (!faults.empty()) return 2;
  std::printf("configuration OK: data in %s, domain %s, listening on %s\n",
              opt.memoryDb ? "memory" : opt.dataDir.c_str(), opt.domain.c_str(),
              opt.listenAddress.c_str());
  return 0;
}

// The metrics page: GET /metrics, anything else 404.
HttpReply metricsReply(const HttpRequest& r, SipcService& service, Store& store) {
  if (r.method != "GET" || r.target.substr(0, r.target.find('?')) != "/metrics")
    return {404, "Not Found", "text/plain", "not found\n"};
  MetricsGauges g;
  g.signedIn = long(service.signedInCount());
  Stmt& q = store.db().sql(
      "SELECT count(*), ifnull(sum(length(CAST(body AS BLOB))), 0) FROM offline_messages");
  if (q.step()) {
    g.offlineLines = long(q.integer(0));
    g.offlineBytes = long(q.integer(1));
  }
  q.reset();
  return {200, "OK", "text/plain; version=0.0.4; charset=utf-8", renderMetrics(metrics(), g)};
}

// Nav and sign-in answers of 400 and more count as request errors.
HttpEndpoint::Handler counted(HttpEndpoint::Handler h) {
  return [h = std::move(h)](const HttpRequest& r) {
    HttpReply reply = h(r);
    if (reply.status >= 400) metrics().requestError("http", reply.status);
    return reply;
  };
}

int run(const Options& opt) {
  std::string dbPath = ":memory:";
  std::string tlsDir = opt.dataDir + "/tls";
  const bool anyTls = !opt.noSignin || opt.sipcTlsPort >= 0;
  const bool madeCertificate = anyTls && opt.tlsCertFile.empty();
  const bool usesFolder = !opt.memoryDb || madeCertificate;
  if (usesFolder) {
    std::string answer;
    if (notifyServer(opt.dataDir, "ping", &answer, nullptr, 1000)) {
      std::fprintf(stderr, "tavrin-server: another tavrin-server is running on %s\n",
                   opt.dataDir.c_str());
      return 1;
    }
    std::string warning;
    if (std::string err = claimDataFolder(opt.dataDir, &warning); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: %s\n", err.c_str());
      return 1;
    }
    if (!warning.empty()) logAt(0, "%s", warning.c_str());
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
        counted([&](const HttpRequest& r) {
          return signinReply(r, store, &service.registrar().throttle());
        }),
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
  HttpEndpoint navEndpoint(loop, counted([&](const HttpRequest& r) {
                             if (SmsService::isGatewayCallback(r))
                               return service.sms().gatewayCallback(r);
                             return navigationReply(r, advertised, live.sipcPort, signinUrl,
                                                    sipcTls ? live.sipcTlsPort : 0);
                           }));
  Listener nav(
      loop, [&](int fd) { navEndpoint.accept(fd); }, [&] { return navEndpoint.shedOldest(); });
  if (auto err = nav.open(opt.listenAddress, opt.navPort); !err.empty()) {
    std::fprintf(stderr, "tavrin-server: nav: %s\n", err.c_str());
    return 1;
  }
  live.navPort = nav.port();
  service.sms().setCallbackBase("http://" + advertised + ":" + std::to_string(live.navPort));

  // Operator commands tell the server what they changed.
  AccountSync accounts(service);
  std::unique_ptr<ControlSocket> control;
  if (usesFolder) {
    control = std::make_unique<ControlSocket>(
        loop, [&](const std::string& line) { return accounts.handleLine(line); });
    if (auto err = control->open(opt.dataDir + "/" + kControlSocketName); !err.empty()) {
      logAt(0, "control socket: %s; account changes reach sessions at their next login",
            err.c_str());
      control.reset();
    }
  }

  std::unique_ptr<HttpEndpoint> metricsEndpoint;
  std::unique_ptr<Listener> metricsListener;
  if (opt.metricsPort >= 0) {
    metricsEndpoint = std::make_unique<HttpEndpoint>(
        loop, [&](const HttpRequest& r) { return metricsReply(r, service, store); });
    metricsListener = std::make_unique<Listener>(
        loop, [&](int fd) { metricsEndpoint->accept(fd); },
        [&] { return metricsEndpoint->shedOldest(); });
    if (auto err = metricsListener->open(opt.metricsListen, opt.metricsPort); !err.empty()) {
      std::fprintf(stderr, "tavrin-server: metrics: %s\n", err.c_str());
      return 1;
    }
  }

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
    if (metricsEndpoint) metricsEndpoint->sweep();
    if (control) control->sweep();
  });
  std::printf("tavrin-server listening nav=%d sipc=%d signin=%d", live.navPort, live.sipcPort,
              signin ? live.signinPort : 0);
  if (metricsListener) std::printf(" metrics=%d", metricsListener->port());
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
  if (isAdminCommand(argc, argv)) {
    std::signal(SIGPIPE, SIG_IGN);
    return runAdminCommand(argc, argv);
  }
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
  if (opt.checkConfig) return checkConfig(opt);
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
