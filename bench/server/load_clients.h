// LoadClients: many loopback clients driven from one epoll loop, for the
// load benchmark. In SIP-C mode each client registers (answering the
// challenge with the engine's digest), subscribes to its partner's presence
// and then chats with it; in bare mode the same clients exchange opaque
// lines of the same size through the bare relay.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct ChatFigures {
  int held = 0;    // connections still open at the end
  long lines = 0;  // lines delivered to a client
  double seconds = 0;
  double linesPerSecond() const { return seconds > 0 ? lines / seconds : 0; }
};

class LoadClients {
 public:
  // Clients first .. first + count - 1 (first and count even: each client's
  // partner, index ^ 1, is among them).
  LoadClients(int count, int textBytes, int first = 0);
  ~LoadClients();

  // SIP-C: connect, register as 200000001.. (password "bench"), subscribe.
  bool connectAndSignIn(int port, double timeoutSeconds);
  // Bare: connect and announce the index.
  bool connectBare(int port);
  ChatFigures chat(double seconds, int window, bool bare);
  int lineBytes() const { return int(line_.empty() ? 0 : line_[0].size()); }

 private:
  struct Client;
  void pump(int timeoutMs, bool bare);
  void onReadable(Client& c, bool bare);
  void write(Client& c, const std::string& bytes);
  std::vector<Client*> clients_;
  std::vector<std::string> line_;  // each client's chat line (by index - first_), ready to send
  int ep_ = -1;
  int textBytes_;
  int first_;  // index of clients_[0]
  long delivered_ = 0;
  bool chatting_ = false;
  int ready_ = 0;
};

}  // namespace bench
