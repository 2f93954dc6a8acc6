// ScriptedPeer: a SIP-C server on a loopback port that answers each request
// of one connection as the test's script says, records what it received,
// and can push a request of its own. For the registration cases the real
// server never produces (repeated challenges, odd statuses).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sipc/message.h"

namespace tavrin::test {

class ScriptedPeer {
 public:
  // Raw texts to send back for a received request (possibly none).
  using Script = std::function<std::vector<std::string>(const sipc_message& request)>;

  explicit ScriptedPeer(Script script);
  ~ScriptedPeer();
  ScriptedPeer(const ScriptedPeer&) = delete;
  ScriptedPeer& operator=(const ScriptedPeer&) = delete;

  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  std::vector<sipc_message> received();
  // Sends raw text on the current connection.
  void push(const std::string& text);
  // True while the current connection is open (the engine has not closed it).
  bool peer_open();

 private:
  void run();
  Script script_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<int> conn_fd_{-1};
  std::atomic<bool> stop_{false};
  std::atomic<bool> open_{false};
  std::mutex mu_;  // guards received_ and sends on conn_fd_
  std::vector<sipc_message> received_;
  std::thread thread_;
};

// "SIP-C/2.0 <status> <reason>" answer to a request, with extra header lines.
std::string answer(const sipc_message& request, int status, const std::string& reason,
                   const std::string& extra_headers = {}, const std::string& body = {});

}  // namespace tavrin::test
