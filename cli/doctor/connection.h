// The doctor's network primitives: IPv4 name resolution and one TCP
// connection with a deadline on every wait, each failure told in words
// ("connection refused", "no answer within 10 s"). They do what the
// engine's connect does (IPv4 only, the first address of a name), so that a
// step that passes here passes for a login too. start_tls puts TLS over the
// connection as the engine does (chain and name verified), after which sends
// and receives go through it. One thread; blocking.
#pragma once

#include <netinet/in.h>
#include <openssl/ssl.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin::cli::doctor {

using Clock = std::chrono::steady_clock;

// The end of a step's waits, and the limit it came from (for the words).
struct Deadline {
  Clock::time_point at;
  std::chrono::milliseconds limit;
  static Deadline after(std::chrono::milliseconds limit) { return {Clock::now() + limit, limit}; }
  // "no answer within 10 s"
  std::string no_answer() const;
};

// A dotted address as is, else the first IPv4 address of the name; none
// with the resolver's reason.
std::optional<in_addr> resolve_ipv4(const std::string& host, std::string* why);
std::string dotted(in_addr address);

class Connection {
 public:
  enum class Got { kData, kClosed, kTimeout, kError };

  Connection() = default;
  ~Connection();
  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Connects to address:port before the deadline; not open() with the
  // reason in *why.
  static Connection open_to(in_addr address, int port, Deadline deadline, std::string* why);

  bool open() const { return fd_ >= 0; }
  // The TLS handshake for host, verifying the chain against ca_file (empty:
  // the system's store) and the name or address. True with *detail saying
  // the protocol, the certificate's subject and issuer; false with why,
  // opening with the part that failed ("handshake", "chain", "name").
  bool start_tls(const std::string& host, const std::string& ca_file, Deadline deadline,
                 std::string* detail);
  // Sends every byte before the deadline; false with the reason.
  bool send_all(std::string_view bytes, Deadline deadline, std::string* why);
  // Waits for bytes until the deadline and appends what came to received().
  Got receive(Deadline deadline);
  // Receives until done(received()) holds; false with the reason (the peer,
  // named by who, closed the connection; no answer in time; a socket error).
  bool receive_until(const std::function<bool(const std::string&)>& done, Deadline deadline,
                     std::string_view who, std::string* why);
  // Bytes received and not yet consumed by a reader (which erases them).
  std::string& received() { return received_; }
  // Words for the last kError of receive.
  const std::string& error() const { return error_; }

 private:
  explicit Connection(int fd) : fd_(fd) {}
  struct SslFree {
    void operator()(SSL* s) const { SSL_free(s); }
  };
  // A wait for the socket: POLLIN or POLLOUT, or what TLS asks for.
  ssize_t raw_send(const char* data, size_t len, short* wait);
  ssize_t raw_recv(char* buf, size_t cap, short* wait);
  int fd_ = -1;
  std::unique_ptr<SSL, SslFree> ssl_;
  std::string received_;
  std::string error_;
};

}  // namespace tavrin::cli::doctor
