// TestServer: the real tavrin-server on loopback, all ports 0, in a fresh
// temporary data folder that the test seeds first (the demo world plus
// whatever the test adds) through the server's own store. The server's log
// (-vv: one line per request with its "N") goes to a file the test can
// read. Stopped by pid.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "server_child.h"
#include "temp_dir.h"

namespace tavrin::server {
class Store;
}

namespace tavrin::test {

class TestServer {
 public:
  using Seed = std::function<void(tavrin::server::Store&)>;
  // seed runs after the demo world was put in; args are extra flags.
  explicit TestServer(std::vector<std::string> args = {}, const Seed& seed = {}, bool demo = true);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  bool running() const { return child_.pid() > 0 && child_.sipc() > 0; }
  int navPort() const { return child_.nav(); }
  int sipcPort() const { return child_.sipc(); }
  std::string sipcAddress() const { return "127.0.0.1:" + std::to_string(child_.sipc()); }
  // With "--sipc-tls-port 0" among the flags: the TLS address for
  // fx_set_serve_address, and the CA that signed the server's certificate.
  std::string tlsAddress() const { return "tls://127.0.0.1:" + std::to_string(child_.sipcTls()); }
  std::string caFile() const { return dir_ + "/tls/ca.pem"; }
  std::string dbPath() const { return dir_ + "/tavrin-server.db"; }
  // Everything the server logged so far.
  std::string log() const;

 private:
  TempDir scratch_;  // declared first: removed after the server stopped
  std::string dir_;
  ServerChild child_;
};

}  // namespace tavrin::test
