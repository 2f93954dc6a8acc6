// ControlSocket: how operator commands reach the running server. The server
// listens on a local socket in its data folder (DATA/control.sock, 0600, in
// the owner's 0700 folder); `tavrin-server account ...` commits its change
// to the database first and then sends one line naming what changed, such
// as "account 100000010". The line is only a hint: the server reads the
// truth from the database again, so a stray or repeated line costs a read
// and nothing more. Each line gets one answer line ("ok" or "error WHY").
// Server side: event-loop thread only. notifyServer: any thread.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "event_loop.h"

namespace tavrin::server {

inline constexpr const char* kControlSocketName = "control.sock";

class ControlSocket : public Pollable {
 public:
  // Handles one line; returns the answer ("ok" or "error ...").
  using Handler = std::function<std::string(const std::string& line)>;
  ControlSocket(EventLoop& loop, Handler handler);
  ~ControlSocket() override;
  // Listens on `path`. A socket file left by a server that died is
  // replaced; one a live server answers on is not (an error: two servers
  // must not share a data folder). An error text on failure.
  std::string open(const std::string& path);
  void onEvents(uint32_t events) override;
  // Drops clients that connected and sent nothing for a few seconds.
  void sweep();

 private:
  class Client;
  void finished(Client* c);
  EventLoop& loop_;
  Handler handler_;
  int fd_ = -1;
  std::string path_;
  std::map<Client*, std::unique_ptr<Client>> clients_;
};

// Sends `line` to the server that runs on the data folder and waits up to
// `timeout_ms` for its answer. Returns false with `why` set when no server
// listens there (not running) or it did not answer; `answer` gets its line.
bool notifyServer(const std::string& dataDir, const std::string& line, std::string* answer,
                  std::string* why, int timeout_ms = 5000);

}  // namespace tavrin::server
