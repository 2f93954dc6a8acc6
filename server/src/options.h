// Options: the server's command-line flags (see usage() for the list) and
// the configuration file that holds the same settings (--config FILE).
// Parsed once in main and then read by every module.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavrin::server {

struct Options {
  std::string dataDir = "tavrin-data";
  std::string listenAddress = "127.0.0.1";
  int navPort = 8081;
  int sipcPort = 8080;
  int signinPort = 8443;
  int sipcTlsPort = -1;        // SIP-C over TLS; -1: no TLS listener
  bool noSipcPlain = false;    // no plain SIP-C listener (TLS only)
  std::string tlsCertFile;     // the operator's PEM chain and key; empty: DATA/tls's own
  std::string tlsKeyFile;
  std::string domain = "tavrin.local";
  int verbosity = 0;
  bool demo = false;
  long smsDailyLimit = 100;
  long expires = 1200;     // registration lifetime handed out, seconds
  long loginTimeout = 60;  // seconds a connection may stay unregistered
  // Connections not yet registered, in total (0: from the descriptor limit)
  // and per peer address (0: no limit per address).
  long maxUnregistered = 0;
  long maxUnregisteredPerAddress = 64;
  long benchAccounts = 0;  // seeds accounts 200000001.. with password "bench"
  // What may wait for one recipient offline, and one sender's share of it.
  long offlineMaxLines = 10000;
  long offlineMaxBytes = 64L << 20;
  long offlineSenderLines = 5000;
  long offlineSenderBytes = 16L << 20;
  long offlineSenderTotalBytes = 32L << 20;  // one sender's bytes for all recipients
  bool withholdChatAcks = false;    // tests only: never answer chat lines
  long testGoneRegistrations = 0;   // tests only: answer the first N digest answers 410
  long testDropRegistrations = 0;   // tests only: drop the first N connections at their first "R"
  bool testEndOnKeepalive = false;  // tests only: answer keep-alives with "X: 0"
  std::string testClockFile;        // tests only: the scheduled-SMS clock reads this file
  // The SMS gateway (sendsms URL, its user and password); no URL: no gateway.
  // The password comes from the configuration file or a file of its own.
  std::string smsGatewayUrl, smsGatewayUser, smsGatewayPassword;
  std::string smsSender;       // the number SMS go out from; empty: the sender's own mobile
  std::string smsCallbackUrl;  // how the gateway reaches this server; empty: the nav endpoint
  std::string smsCallbackKey;  // the gateway's calls must carry it; empty: loopback only
  bool noSignin = false;
  bool memoryDb = false;  // tests only: keep the data in memory
  // The metrics page (Prometheus text format): off while the port is -1.
  int metricsPort = -1;
  std::string metricsListen = "127.0.0.1";
  bool checkConfig = false;  // --check-config: read and check everything, start nothing
};

const char* usage();
// Parses argv; an error text on failure, or nullopt on success (or --help: sets help).
// A --config FILE anywhere is read first, so that the other flags override it.
std::optional<std::string> parseOptions(int argc, char** argv, Options& out, bool& help);

// Applies a configuration file's text over `out`: one setting a line,
// "NAME = VALUE" with NAME a long flag without its dashes; switches take
// yes/no (true/false, 1/0), verbose a level (0-3). '#' starts a comment line.
// The switches for tests (test-..., memory, bench-accounts) are refused
// here: a production file cannot turn them on; tests give them as flags.
// An error names `source` and the line's number.
std::optional<std::string> parseConfig(std::string_view text, const std::string& source,
                                       Options& out);

}  // namespace tavrin::server
