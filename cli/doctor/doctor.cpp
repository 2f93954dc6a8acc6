#include "doctor/doctor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "cli_session.h"
#include "doctor/codec.h"
#include "doctor/connection.h"
#include "doctor/navigation_probe.h"
#include "doctor/proxy_probe.h"
#include "doctor/sipc_probe.h"
#include "engine_setup.h"
#include "json_writer.h"
#include "libtavrin.h"
#include "platform/signin_lookup.h"
#include "terminal_text.h"

namespace tavrin::cli {

namespace {

using namespace doctor;

// The engine's own limits: a connect, and one exchange of a login step.
constexpr auto kConnectLimit = std::chrono::seconds(15);
constexpr auto kAnswerLimit = std::chrono::seconds(10);
constexpr int kSigninLimitMs = 30000;

// What the login would connect to, as the engine holds it once the options
// are applied (its defaults included).
struct Plan {
  std::string domain;
  std::optional<Address> server;  // --server: no navigation
  bool tls = false;               // tls:// (then navigation's plain address is spoken to over TLS)
  std::optional<Address> nav;     // otherwise the navigation server
  Address fallback;               // used when navigation names no SIP-C proxy
  std::optional<Proxy> proxy;
};

std::string take_text(char* s) {
  std::string out = s != nullptr ? s : "";
  std::free(s);
  return out;
}

bool read_plan(const Options& o, Plan* plan, std::string* error) {
  if (fx_init() == 0) {
    *error = "the engine's network layer cannot start";
    return false;
  }
  const bool ok = apply_connection_options(o, error);
  if (ok) {
    plan->domain = take_text(fx_get_sip_domain());
    std::string server = take_text(fx_get_serve_address());
    plan->tls = server.rfind("tls://", 0) == 0 || o.tls;
    if (server.rfind("tls://", 0) == 0) server.erase(0, 6);
    if (!server.empty())
      plan->server = parse_address(server);
    else
      plan->nav = parse_address(take_text(fx_get_navigation_address()));
    plan->fallback = parse_address(take_text(fx_get_default_serve_address()))
                         .value_or(Address{"127.0.0.1", 8080});
    const fx_proxy* p = fx_get_proxy();
    if (fx_proxyEnabled() != 0 && p != nullptr && p->host != nullptr && p->port != nullptr) {
      Proxy proxy;
      proxy.kind = p->type == FX_PROXY_SOCKS5 ? Proxy::Kind::kSocks5 : Proxy::Kind::kHttp;
      proxy.host = p->host;
      proxy.port = std::atoi(p->port);
      if (p->user_name != nullptr) proxy.user = p->user_name;
      if (p->password != nullptr) proxy.password = p->password;
      plan->proxy = proxy;
    }
  }
  fx_terminate();
  return ok;
}

enum class Outcome { kOk, kFailed, kSkipped };

// The step lines, readable or one JSON object each.
class Report {
 public:
  explicit Report(bool json) : json_(json) {}

  void intro(const std::string& text) {
    if (!json_) print(text);
  }
  void step(std::string_view name, Outcome outcome, long ms, const std::string& detail) {
    static const char* const kWords[] = {"ok", "FAILED", "skipped"};
    const char* word = kWords[int(outcome)];
    if (json_) {
      JsonWriter j;
      j.field("step", name).field("result", outcome == Outcome::kFailed ? "failed" : word);
      if (outcome != Outcome::kSkipped) j.field("ms", ms);
      print(j.field("detail", detail).str());
      return;
    }
    char head[64];
    if (outcome == Outcome::kSkipped)
      std::snprintf(head, sizeof head, "%-14.*s %-7s %8s  ", int(name.size()), name.data(), word,
                    "");
    else
      std::snprintf(head, sizeof head, "%-14.*s %-7s %5ld ms  ", int(name.size()), name.data(),
                    word, ms);
    print(head + printable(detail));
  }
  void end(const std::string& failed, const std::string& note) {
    if (json_) {
      JsonWriter j;
      j.field("result", "doctor").field_bool("ok", failed.empty());
      if (!failed.empty()) j.field("failed", failed);
      print(j.str());
    } else if (failed.empty()) {
      print("every step passed" + note);
    } else {
      print("stopped at " + failed + ": a login fails there too");
    }
  }

 private:
  void print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  bool json_;
};

class Doctor {
 public:
  Doctor(const Options& o, const std::string& password, Plan plan)
      : options_(o),
        password_(password),
        plan_(std::move(plan)),
        report_(o.json),
        login_id_(o.user) {}

  int run() {
    report_.intro("checking a login of " + options_.user + " at " + plan_.domain + "; " +
                  (password_.empty() ? "without a password" : "with a password"));
    const bool ok = signin() && resolve() && navigate() && reach_sipc() && secure() && log_in();
    report_.end(failed_, password_.empty() ? " (the digest was not checked)" : "");
    return ok ? kExitOk : kExitDoctorStepFailed;
  }

 private:
  // Runs a step: times it and prints its line. False when it failed.
  bool step(std::string_view name, const std::function<bool(std::string*)>& body) {
    const auto start = Clock::now();
    std::string detail;
    const bool ok = body(&detail);
    const long ms =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    report_.step(name, ok ? Outcome::kOk : Outcome::kFailed, ms, detail);
    if (!ok) failed_ = std::string(name);
    return ok;
  }
  void skip(std::string_view name, const std::string& why) {
    report_.step(name, Outcome::kSkipped, 0, why);
  }

  // With --signin an 11-digit id is turned into its number over HTTPS first.
  bool signin() {
    if (!options_.signin || options_.user.size() != 11) return true;
    if (password_.empty()) {
      skip("signin", "the lookup needs the password");
      return true;
    }
    return step("signin", [&](std::string* detail) {
      const platform::SigninLookup found =
          platform::signin_lookup(*options_.signin, options_.user, password_,
                                  options_.ca_file.value_or(""), kSigninLimitMs);
      if (!found.ok) {
        *detail = *options_.signin + ": " + found.error;
        return false;
      }
      login_id_ = found.tavrin_number;
      *detail = options_.user + " signs in as " + login_id_;
      return true;
    });
  }

  // The names connected to directly. Through a proxy, the proxy resolves
  // the SIP-C proxy's name; one named by navigation is resolved when known.
  bool resolve() {
    struct Name {
      const char* role;
      const std::string* host;
      std::optional<in_addr>* into;
    };
    std::vector<Name> names;
    if (plan_.nav) names.push_back({"navigation server", &plan_.nav->host, &nav_address_});
    if (plan_.proxy)
      names.push_back({"proxy", &plan_.proxy->host, &proxy_address_});
    else if (plan_.server)
      names.push_back({"SIP-C proxy", &plan_.server->host, &server_address_});
    return step("resolve", [&](std::string* detail) {
      for (const Name& n : names) {
        std::string why;
        *n.into = resolve_ipv4(*n.host, &why);
        if (!*n.into) {
          *detail = why + " (" + n.role + ")";
          return false;
        }
        const std::string address = dotted(**n.into);
        if (!detail->empty()) *detail += "; ";
        *detail +=
            std::string(n.role) + " " + *n.host + (address != *n.host ? " = " + address : "");
      }
      return true;
    });
  }

  bool navigate() {
    if (plan_.server) {
      skip("navigation", "--server names the SIP-C proxy");
      return true;
    }
    Connection nav;
    const bool connected = step("nav-connect", [&](std::string* detail) {
      nav = Connection::open_to(*nav_address_, plan_.nav->port, Deadline::after(kConnectLimit),
                                detail);
      const std::string where = dotted(*nav_address_) + ":" + std::to_string(plan_.nav->port);
      *detail = nav.open() ? where : where + ": " + *detail;
      return nav.open();
    });
    return connected && step("navigation", [&](std::string* detail) {
             NavAnswer answer;
             const std::string request = navigation_request(login_id_, plan_.nav->host);
             if (request.empty()) {
               *detail = "\"" + login_id_ +
                         "\" is neither a 9-digit number nor an 11-digit mobile number";
               return false;
             }
             if (!ask_navigation(nav, request, Deadline::after(kAnswerLimit), &answer, detail))
               return false;
             const auto tls_named =
                 answer.sipc_tls_proxy ? parse_address(*answer.sipc_tls_proxy) : std::nullopt;
             const auto named =
                 tls_named ? tls_named
                           : answer.sipc_proxy ? parse_address(*answer.sipc_proxy) : std::nullopt;
             sipc_target_ = named.value_or(plan_.fallback);
             if (tls_named) plan_.tls = true;
             if (named)
               *detail = answer.status + "; SIP-C proxy " + (tls_named ? "over TLS " : "") +
                         named->text();
             else
               *detail = answer.status +
                         ", but it names no usable SIP-C proxy: a login tries the default " +
                         plan_.fallback.text();
             return true;
           });
  }

  bool reach_sipc() {
    const Address target = plan_.server.value_or(sipc_target_);
    if (!plan_.proxy) {
      return step("sipc-connect", [&](std::string* detail) {
        std::optional<in_addr> address = server_address_;
        if (!address) address = resolve_ipv4(target.host, detail);
        if (!address) return false;
        sipc_ = Connection::open_to(*address, target.port, Deadline::after(kConnectLimit), detail);
        const std::string where = dotted(*address) + ":" + std::to_string(target.port);
        *detail = sipc_.open() ? where : where + ": " + *detail;
        return sipc_.open();
      });
    }
    const Proxy& proxy = *plan_.proxy;
    const std::string kind = proxy.kind == Proxy::Kind::kHttp ? "HTTP" : "SOCKS5";
    const bool connected = step("proxy-connect", [&](std::string* detail) {
      sipc_ =
          Connection::open_to(*proxy_address_, proxy.port, Deadline::after(kConnectLimit), detail);
      const std::string where =
          kind + " proxy " + dotted(*proxy_address_) + ":" + std::to_string(proxy.port);
      *detail = sipc_.open() ? where : where + ": " + *detail;
      return sipc_.open();
    });
    return connected && step("proxy", [&](std::string* detail) {
             const Deadline deadline = Deadline::after(kAnswerLimit);
             return proxy.kind == Proxy::Kind::kHttp
                        ? http_connect(sipc_, proxy, target.host, target.port, deadline, detail)
                        : socks5_connect(sipc_, proxy, target.host, target.port, deadline, detail);
           });
  }

  // Over TLS: the handshake as the engine does it, through any tunnel.
  bool secure() {
    if (!plan_.tls) return true;
    const Address target = plan_.server.value_or(sipc_target_);
    return step("tls", [&](std::string* detail) {
      return sipc_.start_tls(target.host, options_.ca_file.value_or(""),
                             Deadline::after(kAnswerLimit), detail);
    });
  }

  bool log_in() {
    SipcProbe probe(sipc_, plan_.domain);
    std::string number;
    const bool challenged =
        step("account",
             [&](std::string* detail) {
               return probe.account(login_id_, Deadline::after(kAnswerLimit), &number, detail);
             }) &&
        step("challenge", [&](std::string* detail) {
          return probe.challenge(number, Deadline::after(kAnswerLimit), detail);
        });
    if (!challenged) return false;
    if (password_.empty()) {
      skip("digest", "no password (--password or TAVRIN_PASSWORD)");
      return true;
    }
    return step("digest", [&](std::string* detail) {
      return probe.digest(password_, Deadline::after(kAnswerLimit), detail);
    });
  }

  const Options& options_;
  const std::string& password_;
  Plan plan_;
  Report report_;
  std::string login_id_;  // the id the login uses (after the sign-in lookup)
  std::optional<in_addr> nav_address_, proxy_address_, server_address_;
  Address sipc_target_;  // named by navigation
  Connection sipc_;      // to the SIP-C proxy, direct or tunnelled
  std::string failed_;
};

}  // namespace

int run_doctor(const Options& options, const std::string& password) {
  std::signal(SIGPIPE, SIG_IGN);  // a peer that goes mid-write is a failed step, not an end
  Plan plan;
  std::string error;
  if (!read_plan(options, &plan, &error)) {
    std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  return Doctor(options, password, std::move(plan)).run();
}

}  // namespace tavrin::cli
