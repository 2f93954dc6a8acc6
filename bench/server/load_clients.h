// LoadClients: many loopback clients driven from one epoll loop, for the
// load benchmark. In SIP-C mode each client registers (answering the
// challenge with the engine's digest), subscribes to its partner's presence
// and then chats with it; in bare mode the same clients exchange opaque
// lines of the same size through the bare relay. With tls, the SIP-C
// clients speak TLS (the handshake at connect, blocking; then the same loop
// through each client's SSL); the generator does not verify the certificate.
#pragma once

#include <openssl/ssl.h>

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
  LoadClients(int count, int textBytes, int first = 0, bool tls = false);
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
  // One send or receive, plain or through TLS: as send/recv (-1 with EAGAIN
  // when the socket or TLS wants more first).
  ssize_t sendSome(Client& c, const char* data, size_t len);
  ssize_t recvSome(Client& c, char* buf, size_t cap);
  void consume(Client& c, const char* buf, size_t n, bool bare);
  SSL_CTX* tls_ = nullptr;
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
