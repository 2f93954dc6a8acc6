#include "options.h"

#include "command_line.h"

namespace tavrin::cli {

namespace {

bool split_host_port(const std::string& text, std::string* host, std::string* port) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos) {
    *host = text;
    port->clear();
    return !host->empty();
  }
  *host = text.substr(0, colon);
  *port = text.substr(colon + 1);
  long value = 0;
  return !host->empty() && parse_number(*port, &value) && value >= 1 && value <= 65535;
}

}  // namespace

const char* usage_text() {
  return "usage: tavrin-cli --user ID [options]\n"
         "  --user ID          9-digit Tavrin number or 11-digit mobile number\n"
         "  --password PW      else $TAVRIN_PASSWORD, else a prompt on a terminal\n"
         "  --server HOST:PORT the SIP-C proxy (without it navigation runs);\n"
         "                     tls://HOST:PORT speaks TLS to it (checked against --ca)\n"
         "  --nav HOST[:PORT]  the navigation server (port 80 by default)\n"
         "  --domain NAME      the service's SIP domain\n"
         "  --signin URL       sign-in server (https://HOST[:PORT]): an 11-digit --user is\n"
         "                     turned into its Tavrin number there, over HTTPS; without\n"
         "                     --signin it is looked up over SIP-C (the own-info request)\n"
         "  --ca FILE          CA certificate the sign-in server's and a TLS SIP-C\n"
         "                     server's are checked against (default: the system's store)\n"
         "  --proxy URL        http://[user:pass@]host:port or socks5://[user:pass@]host:port\n"
         "  --status CODE      status to log in with (66..74, e.g. 68 online, 66 hidden)\n"
         "  --json             one JSON object per line\n"
         "  --no-relogin       exit (status 5) when the connection is lost, instead of\n"
         "                     logging in again with back-off from 1 s to 35 s\n"
         "  --doctor           check step by step what a login with these options needs\n"
         "                     (see below) instead of logging in\n"
         "  --help             this text\n"
         "After login, commands are read from standard input, one a line; type 'help'.\n"
         "Exit status: 0 quit, 1 usage or start-up error, 2 login failed (or the sign-in\n"
         "lookup), 3 wait timed out, 4 session ended by the server, 5 connection lost\n"
         "(--no-relogin).\n"
         "--doctor prints one line per step (name resolution, TCP to the navigation\n"
         "server, its answer, TCP to the SIP-C proxy or through --proxy with the proxy's\n"
         "answer, the account, the registration challenge, and with a password the\n"
         "digest answer), each ok or FAILED with its time and why, and stops at the\n"
         "first failure. The password comes from --password or $TAVRIN_PASSWORD only;\n"
         "without one the digest is not checked. A passing digest step logs in hidden\n"
         "for a moment, which ends another session of the account. Exit status: 0 every\n"
         "step passed, 1 unusable options, 2 a step failed.\n";
}

ParseResult parse_options(const std::vector<std::string>& args, Options* out, std::string* error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      continue;
    }
    if (a == "--json") {
      o.json = true;
      continue;
    }
    if (a == "--no-relogin") {
      o.no_relogin = true;
      continue;
    }
    if (a == "--doctor") {
      o.doctor = true;
      continue;
    }
    std::string name = a, value;
    bool has_value = false;
    if (const auto eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      has_value = true;
    }
    static const char* const kValued[] = {"--server", "--nav",    "--domain", "--signin",  "--ca",
                                          "--proxy",  "--status", "--user",   "--password"};
    bool known = false;
    for (const char* k : kValued) known = known || name == k;
    if (!known) {
      *error = "unknown option " + a;
      return ParseResult::error;
    }
    if (!has_value) {
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return ParseResult::error;
      }
      value = args[++i];
    }
    if (name == "--server") {
      std::string host, port;
      o.tls = value.rfind("tls://", 0) == 0;
      if (o.tls) value.erase(0, 6);
      if (!split_host_port(value, &host, &port) || port.empty()) {
        *error = "--server wants HOST:PORT or tls://HOST:PORT";
        return ParseResult::error;
      }
      o.server = value;
    } else if (name == "--nav") {
      std::string host, port;
      if (!split_host_port(value, &host, &port)) {
        *error = "--nav wants HOST[:PORT]";
        return ParseResult::error;
      }
      o.nav_host = host;
      o.nav_port = port.empty() ? 80 : std::stoi(port);
    } else if (name == "--domain") {
      o.domain = value;
    } else if (name == "--signin") {
      o.signin = value;
    } else if (name == "--ca") {
      o.ca_file = value;
    } else if (name == "--proxy") {
      ProxyUrl p;
      if (!parse_proxy_url(value, &p, error)) return ParseResult::error;
      o.proxy = value;
    } else if (name == "--status") {
      long code = 0;
      if (!parse_number(value, &code) || code < 66 || code > 74) {
        *error = "--status wants a status code from 66 to 74";
        return ParseResult::error;
      }
      o.status = static_cast<int>(code);
    } else if (name == "--user") {
      o.user = value;
    } else if (name == "--password") {
      o.password = value;
    }
  }
  if (o.help) {
    *out = o;
    return ParseResult::help;
  }
  if (o.user.empty()) {
    *error = "--user is required";
    return ParseResult::error;
  }
  if (!is_login_id(o.user)) {
    *error = "--user wants a 9-digit Tavrin number or an 11-digit mobile number";
    return ParseResult::error;
  }
  *out = o;
  return ParseResult::ok;
}

bool parse_proxy_url(const std::string& url, ProxyUrl* out, std::string* error) {
  ProxyUrl p;
  std::string rest;
  if (url.rfind("http://", 0) == 0) {
    p.type = 1;
    rest = url.substr(7);
  } else if (url.rfind("socks5://", 0) == 0) {
    p.type = 3;
    rest = url.substr(9);
  } else {
    *error = "--proxy wants http://[user:pass@]host:port or socks5://[user:pass@]host:port";
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (const auto at = rest.rfind('@'); at != std::string::npos) {
    const std::string cred = rest.substr(0, at);
    rest = rest.substr(at + 1);
    const auto colon = cred.find(':');
    if (colon == std::string::npos) {
      *error = "--proxy credentials want user:pass";
      return false;
    }
    p.user = cred.substr(0, colon);
    p.password = cred.substr(colon + 1);
  }
  if (!split_host_port(rest, &p.host, &p.port) || p.port.empty()) {
    *error = "--proxy wants a host and a port";
    return false;
  }
  *out = p;
  return true;
}

}  // namespace tavrin::cli
