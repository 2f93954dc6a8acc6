// The doctor's network primitives: IPv4 name resolution and one TCP
// connection with a deadline on every wait, each failure told in words
// ("connection refused", "no answer within 10 s"). They do what the
// engine's connect does (IPv4 only, the first address of a name), so that a
// step that passes here passes for a login too. One thread; blocking.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <functional>
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
  int fd_ = -1;
  std::string received_;
  std::string error_;
};

}  // namespace tavrin::cli::doctor
