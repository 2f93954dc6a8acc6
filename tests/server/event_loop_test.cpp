// The event loop's hand-back of an edge-triggered reader that stopped with
// bytes left: without it the reader waits for an edge that never comes.
#include "event_loop.h"

#include <gtest/gtest.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

using namespace tavrin::server;

namespace {

// Reads at most `share` bytes per event and asks to be handed the rest.
class SlowReader : public Pollable {
 public:
  SlowReader(EventLoop& loop, int fd, size_t share, size_t want)
      : loop_(loop), fd_(fd), share_(share), want_(want) {
    loop_.add(fd_, EPOLLIN | EPOLLET, this);
  }
  ~SlowReader() override { loop_.remove(fd_); }
  void onEvents(uint32_t) override {
    char buf[64];
    const ssize_t n = ::read(fd_, buf, share_);
    if (n > 0) got.append(buf, size_t(n));
    if (got.size() >= want_) loop_.stop();
    if (n == ssize_t(share_)) loop_.readAgain(this);
  }
  std::string got;

 private:
  EventLoop& loop_;
  int fd_;
  size_t share_, want_;
};

struct Pair {
  int fds[2] = {-1, -1};
  Pair() { EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0); }
  ~Pair() {
    ::close(fds[0]);
    ::close(fds[1]);
  }
};

TEST(EventLoopTest, AReaderThatStoppedWithBytesLeftIsHandedThemWithoutANewEdge) {
  Pair p;
  const std::string sent(100, 'x');
  ASSERT_EQ(::write(p.fds[0], sent.data(), sent.size()), ssize_t(sent.size()));
  EventLoop loop;
  SlowReader reader(loop, p.fds[1], 10, sent.size());
  loop.after(std::chrono::seconds(5), [&] { loop.stop(); });  // bounds a stall
  loop.run();
  EXPECT_EQ(reader.got, sent);
}

TEST(EventLoopTest, ARetiredReaderIsNotHandedAnything) {
  Pair p;
  ASSERT_EQ(::write(p.fds[0], "0123456789", 10), 10);
  EventLoop loop;
  auto reader = std::make_unique<SlowReader>(loop, p.fds[1], 1, 100);
  SlowReader* seen = reader.get();
  // Retired between batches, while it waits to be handed the rest.
  loop.after(std::chrono::milliseconds(0), [&] {
    EXPECT_FALSE(seen->got.empty());
    loop.retire(std::move(reader));
  });
  loop.after(std::chrono::milliseconds(50), [&] { loop.stop(); });
  loop.run();  // under AddressSanitizer, a hand-back after retirement is a use after free
  EXPECT_EQ(reader, nullptr);
}

}  // namespace
