#include "sipc_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace tavrin::test {

std::string registrationBody(const char* presence) {
  return std::string(
             "<args><device type=\"PC\" version=\"284571220\" client-version=\"3.3.0370\" /><caps "
             "value=\"simple-im;im-session;temp-group;personal-group\" /><events "
             "value=\"contact;permission;system-message;personal-group\" /><user-info "
             "attributes=\"all\" /><presence><basic value=\"") +
         presence + "\" desc=\"\" /></presence></args>";
}

SipcClient::SipcClient(int port) : SipcClient(port, INADDR_LOOPBACK) {}

SipcClient::SipcClient(int port, uint32_t fromAddress) {
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  if (fromAddress != INADDR_LOOPBACK) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(fromAddress);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
      close(fd_);
      fd_ = -1;
      return;
    }
  }
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
    close(fd_);
    fd_ = -1;
  }
}

SipcClient::~SipcClient() {
  if (fd_ >= 0) close(fd_);
}

void SipcClient::sendRaw(std::string_view bytes) {
  if (latency_.count() > 0) std::this_thread::sleep_for(latency_);
  while (fd_ >= 0 && !bytes.empty()) {
    ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    bytes.remove_prefix(size_t(n));
  }
}

sipc_message SipcClient::request(std::string_view method, int32_t callId, int32_t seq,
                                 std::string_view body) {
  sipc_origin origin{kDomain, id_};
  return body.empty() ? sipc_message::request(origin, method, callId, seq)
                      : sipc_message::request(origin, method, callId, seq, body);
}

bool SipcClient::readSome(std::chrono::milliseconds timeout) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, int(timeout.count())) <= 0) return false;
  char buf[65536];
  ssize_t n = recv(fd_, buf, sizeof buf, 0);
  if (n <= 0) {
    eof_ = true;
    return false;
  }
  cutter_.append(buf, size_t(n));
  sipc_message m;
  while (cutter_.take(m) == sipc_cut::message) kept_.push_back(std::move(m));
  return true;
}

bool SipcClient::expect(const std::function<bool(const sipc_message&)>& match, sipc_message& out,
                        std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
      if (match(*it)) {
        out = std::move(*it);
        kept_.erase(it);
        return true;
      }
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || eof_) return false;
    readSome(left);
  }
}

bool SipcClient::answer(int32_t callId, int32_t seq, sipc_message& out) {
  return expect(
      [&](const sipc_message& m) {
        return m.is_response() && m.call_id() == callId && m.sequence() == seq && m.status() >= 200;
      },
      out);
}

bool SipcClient::closedByServer(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!eof_ && std::chrono::steady_clock::now() < deadline)
    readSome(std::chrono::milliseconds(100));
  return eof_;
}

bool SipcClient::hungUpUnread(std::chrono::milliseconds timeout) {
  pollfd p{fd_, POLLRDHUP, 0};
  return poll(&p, 1, int(timeout.count())) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

int SipcClient::login(const std::string& id, const std::string& password, const char* presence) {
  id_ = id;
  send(request("R", 1, 1, registrationBody(presence)));
  sipc_message challenge;
  if (!answer(1, 1, challenge)) return -1;
  if (challenge.status() != 401) return challenge.status();
  const std::string* w = challenge.get_header("W");
  if (!w) return -2;
  auto a = digest_answer(*w, id, kDomain, password);
  if (!a) return -3;
  sipc_message second = request("R", 1, 2, registrationBody(presence));
  second.add_header("A", *a);
  send(second);
  sipc_message result;
  if (!answer(1, 2, result)) return -1;
  return result.status();
}

int SipcClient::command(std::string_view method, std::string_view n, std::string_view body,
                        sipc_message* answerOut, std::string_view target) {
  int32_t callId = nextCallId();
  sipc_message m = request(method, callId, 1, body);
  if (!n.empty()) m.add_header("N", n);
  if (!target.empty()) m.add_header("T", target);
  send(m);
  sipc_message a;
  if (!answer(callId, 1, a)) return -1;
  int status = a.status();
  if (answerOut) *answerOut = std::move(a);
  return status;
}

}  // namespace tavrin::test
