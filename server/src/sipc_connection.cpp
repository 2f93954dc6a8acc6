#include "sipc_connection.h"

#include <openssl/err.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>

#include "log.h"
#include "sipc_service.h"

namespace tavrin::server {

namespace {
// One scratch buffer for every read of the process: idle connections keep no
// read buffer of their own.
char gScratch[64 * 1024];
}  // namespace

SipcConnection::SipcConnection(EventLoop* loop, int fd, SipcService& service, uint64_t id,
                               SSL* ssl)
    : loop_(loop), fd_(fd), service_(service), id_(id), ssl_(ssl), handshaking_(ssl != nullptr) {
  if (loop_ && fd_ >= 0) loop_->add(fd_, kEvents, this);
}

SipcConnection::~SipcConnection() {
  if (fd_ >= 0) ::close(fd_);
}

void SipcConnection::onEvents(uint32_t events) {
  if (closed_) return;
  bool in = events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR);
  const bool out = events & EPOLLOUT;
  if (handshaking_) {
    handshake();
    if (closed_ || handshaking_) return;
    in = true;  // the client's first message may have come with its last handshake bytes
  }
  if (out || (in && writeWantsRead_)) flush();
  if (closed_) return;
  if (in || (out && readWantsWrite_)) readAll();
}

void SipcConnection::handshake() {
  ERR_clear_error();
  const int rc = SSL_accept(ssl_.get());
  if (rc == 1) {
    handshaking_ = false;
    handshakeWantsWrite_ = false;
    logAt(2, "conn %llu: TLS %s", (unsigned long long)id_, SSL_get_version(ssl_.get()));
    updateInterest();
    return;
  }
  const int err = SSL_get_error(ssl_.get(), rc);
  if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
    handshakeWantsWrite_ = err == SSL_ERROR_WANT_WRITE;
    updateInterest();
    return;
  }
  logAt(1, "conn %llu: TLS handshake failed", (unsigned long long)id_);
  close();
}

void SipcConnection::readAll() {
  // Edge-triggered: read until the socket is drained (a short read says so),
  // or until this connection's share of the batch is used up; then the loop
  // comes back to it in the next batch, as no new edge may come.
  for (int rounds = 0; !closed_; ++rounds) {
    if (rounds == 16) {
      if (loop_) loop_->readAgain(this);
      return;
    }
    if (ssl_) {
      // One record per call: read until the library wants more from the socket.
      ERR_clear_error();
      const int n = SSL_read(ssl_.get(), gScratch, sizeof gScratch);
      if (n > 0) {
        if (!closing_) feed(std::string_view(gScratch, size_t(n)));
        continue;
      }
      const int err = SSL_get_error(ssl_.get(), n);
      if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) {
        const bool wantsWrite = err == SSL_ERROR_WANT_WRITE;
        if (wantsWrite != readWantsWrite_) {
          readWantsWrite_ = wantsWrite;
          updateInterest();
        }
        return;
      }
      close();
      return;
    }
    ssize_t n = ::recv(fd_, gScratch, sizeof gScratch, 0);
    if (n > 0) {
      if (!closing_) feed(std::string_view(gScratch, size_t(n)));
      if (size_t(n) < sizeof gScratch) return;
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n < 0 && errno == EINTR) continue;
    close();
    return;
  }
}

void SipcConnection::feed(std::string_view bytes) {
  lastSeen_ = std::time(nullptr);
  // A TLS hello on the plain port (a client told to use TLS, given this
  // port): no SIP-C starts with that byte, and its hello never ends a
  // message; told at once, it fails its handshake now rather than by time-out.
  if (!session.registered && !ssl_ && in_.empty() && !bytes.empty() && bytes[0] == 0x16) {
    logAt(1, "conn %llu: a TLS hello on the plain port, closing", (unsigned long long)id_);
    send("SIP-C/2.0 400 Bad Request\r\n\r\n");
    closeAfterFlush();
    return;
  }
  // Frame directly from the new bytes when nothing is pending, so a complete
  // message never gets copied into the connection.
  std::string_view data = bytes;
  if (!in_.empty()) {
    in_.append(bytes);
    data = in_;
  }
  size_t used = 0;
  const FrameLimits& limits =
      session.registered ? service_.registeredFrameLimits() : service_.frameLimits();
  while (!closed_ && !closing_) {
    SipcMessage& msg = service_.incoming();
    size_t consumed = 0;
    FrameStatus st = cutMessage(data.substr(used), limits, msg, consumed, &padding_);
    if (st == FrameStatus::kNeedMore) {
      used += consumed;  // blank lines skipped are not kept
      break;
    }
    if (st == FrameStatus::kBad) {
      logAt(1, "conn %llu: unreadable stream, closing", (unsigned long long)id_);
      send("SIP-C/2.0 400 Bad Request\r\n\r\n");
      closeAfterFlush();
      return;
    }
    used += consumed;
    service_.onMessage(*this, msg);
  }
  if (closed_ || closing_) {
    in_.clear();
    in_.shrink_to_fit();
    return;
  }
  if (in_.empty()) {
    if (used < data.size()) in_.assign(data.substr(used));
  } else {
    in_.erase(0, used);
    if (in_.empty()) in_.shrink_to_fit();
  }
}

bool SipcConnection::readyToSend() {
  if (closed_ || fd_ < 0) return false;
  if (out_.capacity() <= 15) out_ = service_.borrowBuffer();  // 15: the in-place capacity
  return true;
}

void SipcConnection::sent(size_t before) {
  if (out_.size() == before) return;
  if (gVerbosity >= 3)
    logAt(3, "conn %llu <- %.*s", (unsigned long long)id_, int(out_.size() - before),
          out_.data() + before);
  if (out_.size() - outOffset_ > kMaxOutput) {
    logAt(1, "conn %llu: client stopped reading, dropping it", (unsigned long long)id_);
    close();
    return;
  }
  if (!queued_ && !wantWrite_) {
    queued_ = true;
    service_.queueFlush(this);
  }
}

void SipcConnection::flushQueued() {
  queued_ = false;
  if (!closed_) flush();
}

void SipcConnection::flush() {
  writeWantsRead_ = false;
  while (outOffset_ < out_.size()) {
    if (ssl_) {
      ERR_clear_error();
      const int n = SSL_write(ssl_.get(), out_.data() + outOffset_,
                              int(std::min<size_t>(out_.size() - outOffset_, INT_MAX)));
      if (n > 0) {
        outOffset_ += size_t(n);
        continue;
      }
      const int err = SSL_get_error(ssl_.get(), n);
      if (err == SSL_ERROR_WANT_WRITE) break;
      if (err == SSL_ERROR_WANT_READ) {
        writeWantsRead_ = true;
        break;
      }
      close();
      return;
    }
    ssize_t n = ::send(fd_, out_.data() + outOffset_, out_.size() - outOffset_, MSG_NOSIGNAL);
    if (n > 0) {
      outOffset_ += size_t(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    close();
    return;
  }
  if (outOffset_ == out_.size()) {
    service_.returnBuffer(std::move(out_));
    out_ = std::string();
    outOffset_ = 0;
    if (closing_) {
      close();
      return;
    }
  }
  updateInterest();
}

void SipcConnection::updateInterest() {
  if (!loop_ || fd_ < 0 || closed_) return;
  const bool want = (outOffset_ < out_.size() && !writeWantsRead_) || handshakeWantsWrite_ ||
                    readWantsWrite_;
  if (want == wantWrite_) return;
  wantWrite_ = want;
  loop_->modify(fd_, kEvents | (want ? EPOLLOUT : 0u), this);
}

void SipcConnection::closeAfterFlush() {
  if (closed_) return;
  closing_ = true;
  if (fd_ < 0 || outOffset_ == out_.size()) close();
  // Otherwise flush() closes once the queued bytes are out.
}

void SipcConnection::close() {
  if (closed_) return;
  closed_ = true;
  if (loop_ && fd_ >= 0) loop_->remove(fd_);
  // A close_notify if the socket takes it at once, so the client tells an
  // ending from a cut; nothing waits for it.
  if (ssl_ && !handshaking_ && fd_ >= 0) SSL_shutdown(ssl_.get());
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  service_.onClosed(*this);
}

}  // namespace tavrin::server
