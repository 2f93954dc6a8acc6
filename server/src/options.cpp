#include "options.h"

#include <cstring>

#include "sipc_message.h"

namespace tavrin::server {

const char* usage() {
  return "usage: tavrin-server [options]\n"
         "  --data DIR            data folder (SQLite file, TLS keys); default tavrin-data\n"
         "  --listen ADDR         IPv4 address to bind; default 127.0.0.1\n"
         "  --nav-port PORT       navigation (HTTP); default 8081, 0 picks a free port\n"
         "  --sipc-port PORT      SIP-C proxy; default 8080, 0 picks a free port\n"
         "  --signin-port PORT    sign-in (HTTPS); default 8443, 0 picks a free port\n"
         "  --no-signin           do not start the sign-in endpoint\n"
         "  --domain NAME         the service's SIP domain; default tavrin.local\n"
         "  --demo                seed the demo world when the data folder is empty\n"
         "  --sms-daily-limit N   SMS per account and day before 486; default 100\n"
         "  --offline-lines N     lines that may wait for one recipient offline; default 10000\n"
         "  --offline-bytes N     bytes of them; default 67108864 (64 MiB)\n"
         "  --offline-sender-lines N  one sender's share of the lines; default 5000\n"
         "  --offline-sender-bytes N  one sender's share of the bytes; default 16777216 (16 MiB)\n"
         "  --expires SECONDS     registration lifetime handed out; default 1200\n"
         "  --login-timeout SECS  drop connections not registered by then; default 60\n"
         "  --max-unregistered N  connections not yet registered, in total (oldest dropped\n"
         "                        first); default a quarter of the descriptor limit\n"
         "  --max-unregistered-per-address N  the same per peer address; default 64, 0: none\n"
         "  -v, --verbose         more logging (repeat: -vv requests, -vvv messages)\n"
         "  --bench-accounts N    seed accounts 200000001.. with password \"bench\"\n"
         "  --memory              keep the data in memory (tests)\n"
         "  --test-withhold-acks  never answer chat lines (tests of the engine's time-out)\n"
         "  --test-gone N         answer the first N digest answers 410 (tests of re-login)\n"
         "  --test-drop-register N  drop the first N connections at their first R (tests)\n"
         "  --test-end-keepalive  answer keep-alives with X: 0 (tests of the session end)\n"
         "  --test-clock FILE     scheduled SMS fall due by the time written in FILE (tests)\n"
         "Prints one line when ready: tavrin-server listening nav=PORT sipc=PORT signin=PORT\n";
}

std::optional<std::string> parseOptions(int argc, char** argv, Options& o, bool& help) {
  help = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) -> bool {
      if (i + 1 >= argc) return false;
      out = argv[++i];
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
    } else {
      return "unknown option " + a;
    }
  }
  return std::nullopt;
}

}  // namespace tavrin::server
