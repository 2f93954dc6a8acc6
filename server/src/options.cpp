#include "options.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "gateway_wire.h"
#include "sipc_message.h"

namespace tavrin::server {

const char* usage() {
  return "usage: tavrin-server [options]\n"
         "  --config FILE         read these settings from FILE first (NAME = VALUE lines)\n"
         "  --data DIR            data folder (SQLite file, TLS keys); default tavrin-data\n"
         "  --listen ADDR         IPv4 address to bind; default 127.0.0.1\n"
         "  --nav-port PORT       navigation (HTTP); default 8081, 0 picks a free port\n"
         "  --sipc-port PORT      SIP-C proxy; default 8080, 0 picks a free port\n"
         "  --signin-port PORT    sign-in (HTTPS); default 8443, 0 picks a free port\n"
         "  --no-signin           do not start the sign-in endpoint\n"
         "  --sipc-tls-port PORT  SIP-C over TLS on this port too (0 picks a free port)\n"
         "  --no-sipc-plain       no plain SIP-C port: TLS only (needs --sipc-tls-port)\n"
         "  --tls-cert FILE       PEM certificate chain for the TLS ports (with --tls-key);\n"
         "                        default the one made in DATA/tls; SIGHUP reads it again\n"
         "  --tls-key FILE        its PEM private key\n"
         "  --domain NAME         the service's SIP domain; default tavrin.local\n"
         "  --demo                seed the demo world when the data folder is empty\n"
         "  --sms-daily-limit N   SMS per account and day before 486; default 100\n"
         "  --offline-lines N     lines that may wait for one recipient offline; default 10000\n"
         "  --offline-bytes N     bytes of them; default 67108864 (64 MiB)\n"
         "  --offline-sender-lines N  one sender's share of the lines; default 5000\n"
         "  --offline-sender-bytes N  one sender's share of the bytes; default 16777216 (16 MiB)\n"
         "  --offline-sender-total N  bytes one sender may have waiting for all recipients;\n"
         "                        default 33554432 (32 MiB); a stranger's share of a box is 1/16\n"
         "  --expires SECONDS     registration lifetime handed out; default 1200\n"
         "  --login-timeout SECS  drop connections not registered by then; default 60\n"
         "  --max-unregistered N  connections not yet registered, in total (oldest dropped\n"
         "                        first); default a quarter of the descriptor limit\n"
         "  --max-unregistered-per-address N  the same per peer address; default 64, 0: none\n"
         "  --metrics-port PORT   serve metrics (Prometheus text format) on PORT; off unless\n"
         "                        given, 0 picks a free port\n"
         "  --metrics-listen ADDR the metrics page's address; default 127.0.0.1\n"
         "  --check-config        check the configuration and the data folder, start nothing\n"
         "  --sms-gateway URL     the SMS gateway's sendsms URL (http://ADDRESS:PORT/PATH)\n"
         "  --sms-gateway-user NAME  its user; the password in the configuration file\n"
         "                        (sms-gateway-password) or --sms-gateway-password-file FILE\n"
         "  --sms-sender NUMBER   SMS go out from this service number (default: own mobile)\n"
         "  --sms-callback-url URL  where the gateway reaches this server (default: nav)\n"
         "  --sms-callback-key-file FILE  the key the gateway's calls carry (key=...)\n"
         "  -v, --verbose         more logging (repeat: -vv requests, -vvv messages)\n"
         "  --bench-accounts N    seed accounts 200000001.. with password \"bench\"\n"
         "  --memory              keep the data in memory (tests)\n"
         "  --test-withhold-acks  never answer chat lines (tests of the engine's time-out)\n"
         "  --test-gone N         answer the first N digest answers 410 (tests of re-login)\n"
         "  --test-drop-register N  drop the first N connections at their first R (tests)\n"
         "  --test-end-keepalive  answer keep-alives with X: 0 (tests of the session end)\n"
         "  --test-clock FILE     scheduled SMS fall due by the time written in FILE (tests)\n"
         "Prints one line when ready: tavrin-server listening nav=PORT sipc=PORT signin=PORT\n"
         "(then sipc-tls=PORT when TLS is on, metrics=PORT with --metrics-port; sipc=0\n"
         "without a plain port)\n"
         "Operator commands: tavrin-server account ..., backup FILE, restore FILE\n"
         "  (tavrin-server account --help for their use)\n";
}

namespace {

// The first line of a secret's file, without its line end.
std::optional<std::string> readSecretFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// The flags in args (no program name) applied over o.
std::optional<std::string> parseArgs(const std::vector<std::string>& args, Options& o, bool& help) {
  const size_t argc = args.size();
  for (size_t i = 0; i < argc; ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= argc) return false;
      out = args[++i];
      return true;
    };
    auto number = [&](long& out, long lo, long hi) -> bool {
      std::string v;
      return value(v) && parseLong(v, out) && out >= lo && out <= hi;
    };
    long n = 0;
    std::string v;
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--data") {
      if (!value(o.dataDir)) return "--data needs a folder";
    } else if (a == "--listen") {
      if (!value(o.listenAddress)) return "--listen needs an address";
    } else if (a == "--nav-port") {
      if (!number(n, 0, 65535)) return "--nav-port needs a port";
      o.navPort = int(n);
    } else if (a == "--sipc-port") {
      if (!number(n, 0, 65535)) return "--sipc-port needs a port";
      o.sipcPort = int(n);
    } else if (a == "--signin-port") {
      if (!number(n, 0, 65535)) return "--signin-port needs a port";
      o.signinPort = int(n);
    } else if (a == "--no-signin") {
      o.noSignin = true;
    } else if (a == "--sipc-tls-port") {
      if (!number(n, 0, 65535)) return "--sipc-tls-port needs a port";
      o.sipcTlsPort = int(n);
    } else if (a == "--no-sipc-plain") {
      o.noSipcPlain = true;
    } else if (a == "--tls-cert") {
      if (!value(o.tlsCertFile) || o.tlsCertFile.empty()) return "--tls-cert needs a file";
    } else if (a == "--tls-key") {
      if (!value(o.tlsKeyFile) || o.tlsKeyFile.empty()) return "--tls-key needs a file";
    } else if (a == "--domain") {
      if (!value(o.domain) || o.domain.empty()) return "--domain needs a name";
    } else if (a == "--demo") {
      o.demo = true;
    } else if (a == "--sms-daily-limit") {
      if (!number(o.smsDailyLimit, 0, 1000000)) return "--sms-daily-limit needs a number";
    } else if (a == "--offline-lines") {
      if (!number(o.offlineMaxLines, 0, 100000000)) return "--offline-lines needs a number";
    } else if (a == "--offline-bytes") {
      if (!number(o.offlineMaxBytes, 0, 1L << 40)) return "--offline-bytes needs a number";
    } else if (a == "--offline-sender-lines") {
      if (!number(o.offlineSenderLines, 0, 100000000))
        return "--offline-sender-lines needs a number";
    } else if (a == "--offline-sender-bytes") {
      if (!number(o.offlineSenderBytes, 0, 1L << 40))
        return "--offline-sender-bytes needs a number";
    } else if (a == "--offline-sender-total") {
      if (!number(o.offlineSenderTotalBytes, 0, 1L << 40))
        return "--offline-sender-total needs a number";
    } else if (a == "--expires") {
      if (!number(o.expires, 1, 86400 * 7)) return "--expires needs seconds";
    } else if (a == "--login-timeout") {
      if (!number(o.loginTimeout, 1, 86400)) return "--login-timeout needs seconds";
    } else if (a == "--max-unregistered") {
      if (!number(o.maxUnregistered, 1, 10000000)) return "--max-unregistered needs a number";
    } else if (a == "--max-unregistered-per-address") {
      if (!number(o.maxUnregisteredPerAddress, 0, 10000000))
        return "--max-unregistered-per-address needs a number";
    } else if (a == "--bench-accounts") {
      if (!number(o.benchAccounts, 0, 1000000)) return "--bench-accounts needs a number";
    } else if (a == "--metrics-port") {
      if (!number(n, 0, 65535)) return "--metrics-port needs a port";
      o.metricsPort = int(n);
    } else if (a == "--metrics-listen") {
      if (!value(o.metricsListen) || o.metricsListen.empty())
        return "--metrics-listen needs an address";
    } else if (a == "--check-config") {
      o.checkConfig = true;
    } else if (a == "--sms-gateway") {
      if (!value(o.smsGatewayUrl) || !parseGatewayUrl(o.smsGatewayUrl))
        return "--sms-gateway needs http://ADDRESS:PORT/PATH";
    } else if (a == "--sms-gateway-user") {
      if (!value(o.smsGatewayUser)) return "--sms-gateway-user needs a name";
    } else if (a == "--sms-gateway-password") {
      // Reached from the configuration file only (parseOptions refuses it on the command line).
      if (!value(o.smsGatewayPassword)) return "--sms-gateway-password needs a value";
    } else if (a == "--sms-gateway-password-file" || a == "--sms-callback-key-file") {
      std::string file;
      if (!value(file) || file.empty()) return a + " needs a file";
      auto secret = readSecretFile(file);
      if (!secret) return "cannot read " + file;
      (a == "--sms-gateway-password-file" ? o.smsGatewayPassword : o.smsCallbackKey) = *secret;
    } else if (a == "--sms-callback-key") {
      if (!value(o.smsCallbackKey)) return "--sms-callback-key needs a value";
    } else if (a == "--sms-sender") {
      if (!value(o.smsSender) || phoneNumber(o.smsSender).empty())
        return "--sms-sender needs a phone number";
      o.smsSender = phoneNumber(o.smsSender);
    } else if (a == "--sms-callback-url") {
      if (!value(o.smsCallbackUrl) || o.smsCallbackUrl.rfind("http://", 0) != 0)
        return "--sms-callback-url needs http://HOST:PORT";
      while (!o.smsCallbackUrl.empty() && o.smsCallbackUrl.back() == '/') o.smsCallbackUrl.pop_back();
    } else if (a == "--memory") {
      o.memoryDb = true;
    } else if (a == "--test-withhold-acks") {
      o.withholdChatAcks = true;
    } else if (a == "--test-gone") {
      if (!number(o.testGoneRegistrations, 0, 1000000)) return "--test-gone needs a number";
    } else if (a == "--test-drop-register") {
      if (!number(o.testDropRegistrations, 0, 1000000))
        return "--test-drop-register needs a number";
    } else if (a == "--test-end-keepalive") {
      o.testEndOnKeepalive = true;
    } else if (a == "--test-clock") {
      if (!value(o.testClockFile) || o.testClockFile.empty()) return "--test-clock needs a file";
    } else if (a == "--verbose") {
      ++o.verbosity;
    } else if (a.size() >= 2 && a[0] == '-' && a[1] == 'v' &&
               a.find_first_not_of('v', 1) == std::string::npos) {
      o.verbosity += int(a.size() - 1);
    } else if (a == "--config") {
      ++i;  // read before the other flags
    } else {
      return "unknown option " + a;
    }
  }
  return std::nullopt;
}

std::string_view trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool isSwitch(std::string_view name) {
  for (const char* s : {"no-signin", "no-sipc-plain", "demo", "memory", "test-withhold-acks", "test-end-keepalive"})
    if (name == s) return true;
  return false;
}

// One "NAME = VALUE" line as the flags it stands for; the verbosity, a
// level here rather than a count of flags, is set directly.
std::optional<std::string> lineToArgs(std::string_view line, std::vector<std::string>& args,
                                      Options& o) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return "wants NAME = VALUE";
  const std::string name(trim(line.substr(0, eq)));
  const std::string value(trim(line.substr(eq + 1)));
  if (name.empty() || name[0] == '-') return "wants NAME = VALUE";
  if (name == "config" || name == "help" || name == "check-config")
    return name + " cannot be set here";
  if (name.rfind("test-", 0) == 0 || name == "memory" || name == "bench-accounts")
    return name + " is for tests only: give it as a flag on the command line";
  if (value.empty()) return name + " wants a value";
  if (isSwitch(name) || name == "verbose") {
    long level = 0;
    if (value == "yes" || value == "true") {
      level = 1;
    } else if (value == "no" || value == "false") {
      level = 0;
    } else if (!parseLong(value, level) || level < 0 || level > 3 ||
               (isSwitch(name) && level > 1)) {
      return name + (isSwitch(name) ? " wants yes or no" : " wants a level 0..3");
    }
    if (name == "verbose")
      o.verbosity = int(level);
    else if (level == 1)  // the switches are off by default
      args.push_back("--" + name);
    return std::nullopt;
  }
  args.push_back("--" + name);
  args.push_back(value);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> parseConfig(std::string_view text, const std::string& source,
                                       Options& o) {
  int number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    ++number;
    const std::string_view line = trim(raw);
    if (line.empty() || line[0] == '#') continue;
    const std::string where = source + ":" + std::to_string(number) + ": ";
    if (line.find('\0') != std::string_view::npos) return where + "not text";
    std::vector<std::string> args;
    if (auto err = lineToArgs(line, args, o)) return where + *err;
    bool help = false;
    if (auto err = parseArgs(args, o, help)) return where + *err;
  }
  return std::nullopt;
}

std::optional<std::string> parseOptions(int argc, char** argv, Options& o, bool& help) {
  help = false;
  std::vector<std::string> args(argv + 1, argv + argc);
  // Secrets on the command line show in every process listing.
  for (const std::string& a : args)
    if (a == "--sms-gateway-password" || a == "--sms-callback-key")
      return a.substr(2) + " belongs in the configuration file, or use " + a + "-file FILE";
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--config") continue;
    if (i + 1 >= args.size() || args[i + 1].empty()) return std::string("--config needs a file");
    const std::string& file = args[i + 1];
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    if (!in || !(text << in.rdbuf())) return "cannot read " + file;
    if (auto err = parseConfig(text.str(), file, o)) return err;
    ++i;
  }
  if (auto err = parseArgs(args, o, help)) return err;
  if (o.noSipcPlain && o.sipcTlsPort < 0)
    return std::string("--no-sipc-plain needs --sipc-tls-port: no SIP-C port would be left");
  if (o.tlsCertFile.empty() != o.tlsKeyFile.empty())
    return std::string("--tls-cert and --tls-key go together");
  return std::nullopt;
}

}  // namespace tavrin::server
