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
  bool noSignin = false;
  bool memoryDb = false;  // tests only: keep the data in memory
};

const char* usage();
// Parses argv; an error text on failure, or nullopt on success (or --help: sets help).
// A --config FILE anywhere is read first, so that the other flags override it.
std::optional<std::string> parseOptions(int argc, char** argv, Options& out, bool& help);

// Applies a configuration file's text over `out`: one setting a line,
// "NAME = VALUE" with NAME a long flag without its dashes; switches take
// yes/no (true/false, 1/0), verbose a level. '#' starts a comment line.
// An error names `source` and the line's number.
std::optional<std::string> parseConfig(std::string_view text, const std::string& source,
                                       Options& out);

}  // namespace tavrin::server
