// SipcClient: a raw SIP-C client for the server tests. Requests are built
// and answers cut with the engine's codec; the login answers the challenge
// with the engine's digest, never the server's.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "session/digest.h"
#include "sipc/message.h"
#include "sipc/stream_cutter.h"

namespace tavrin::test {

inline constexpr const char* kDomain = "tavrin.local";

class SipcClient {
 public:
  explicit SipcClient(int port);
  // From another loopback address (host order, e.g. 0x7f000002): a
  // different peer to the server.
  SipcClient(int port, uint32_t fromAddress);
  // Waits this long before each send: a slow network's round trip, halved.
  void setLatency(std::chrono::milliseconds oneWay) { latency_ = oneWay; }
  ~SipcClient();
  bool connected() const { return fd_ >= 0; }

  void sendRaw(std::string_view bytes);
  void send(const sipc_message& m) { sendRaw(m.serialise()); }
  // A request as the engine builds it, from this client's login id.
  sipc_message request(std::string_view method, int32_t callId, int32_t seq,
                       std::string_view body = {});
  // Next message matching the predicate within the time-out; others are kept.
  bool expect(const std::function<bool(const sipc_message&)>& match, sipc_message& out,
              std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  // Answer to (callId, seq), or false.
  bool answer(int32_t callId, int32_t seq, sipc_message& out);
  // True when the server closed the connection within the time-out.
  bool closedByServer(std::chrono::milliseconds timeout = std::chrono::milliseconds(3000));
  // True when the server hung up within the time-out, judged without reading
  // (so that unread answers stay unread).
  bool hungUpUnread(std::chrono::milliseconds timeout);
  // The two-step registration; the final status (200 on success).
  int login(const std::string& id, const std::string& password, const char* presence = "400");
  // Sends a request and waits for its answer; the answer's status or -1.
  int command(std::string_view method, std::string_view n, std::string_view body,
              sipc_message* answerOut = nullptr, std::string_view target = {});
  int32_t nextCallId() { return ++callId_; }
  const std::string& id() const { return id_; }
  void setId(std::string id) { id_ = std::move(id); }

 private:
  bool readSome(std::chrono::milliseconds timeout);
  int fd_ = -1;
  std::string id_;
  int32_t callId_ = 10;
  sipc_stream_cutter cutter_;
  std::vector<sipc_message> kept_;
  bool eof_ = false;
  std::chrono::milliseconds latency_{0};
};

std::string registrationBody(const char* presence);

}  // namespace tavrin::test
