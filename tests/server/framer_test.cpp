// The server's framer: what it takes, what it waits for and what it refuses.
#include <gtest/gtest.h>

#include "demo_seed.h"
#include "digest.h"
#include "options.h"
#include "sipc_message.h"
#include "sipc_service.h"
#include "store.h"

using namespace tavrin::server;

namespace {

FrameStatus cut(std::string_view data, SipcMessage& m, size_t& used) {
  return cutMessage(data, FrameLimits{}, m, used);
}

TEST(FramerTest, CutsMessagesInOrderAndWaitsForBodies) {
  std::string two =
      "S tavrin.local SIP-C/2.0\r\nF: 100000001\r\nI: 7 \r\nQ: 1 S\r\nN: GetScore\r\n\r\n"
      "M tavrin.local SIP-C/2.0\r\nI: 8\r\nQ: 2 M\r\nL: 5\r\n\r\nhello";
  SipcMessage m;
  size_t used = 0;
  ASSERT_EQ(cut(two, m, used), FrameStatus::kMessage);
  EXPECT_EQ(m.method, "S");
  EXPECT_EQ(m.callId, 7);
  EXPECT_EQ(m.seq, 1);
  EXPECT_EQ(m.headerOr("n"), "GetScore");
  std::string_view rest = std::string_view(two).substr(used);
  ASSERT_EQ(cut(rest.substr(0, rest.size() - 1), m, used), FrameStatus::kNeedMore);
  ASSERT_EQ(cut(rest, m, used), FrameStatus::kMessage);
  EXPECT_EQ(m.body, "hello");
  EXPECT_EQ(used, rest.size());
  EXPECT_FALSE(m.header("N")) << "a message reused keeps nothing of the one before";
}

TEST(FramerTest, ResponsesFoldedHeadersAndQMethod) {
  SipcMessage m;
  size_t used = 0;
  ASSERT_EQ(
      cut("SIP-C/2.0 200 OK fine\r\nI: 1\r\nQ: 2 R\r\nX:  1200\r\nW: a\r\n  b\r\n\r\n", m, used),
      FrameStatus::kMessage);
  EXPECT_EQ(m.status, 200);
  EXPECT_EQ(m.target, "OK fine");
  EXPECT_EQ(m.method, "R");
  EXPECT_EQ(m.headerOr("X"), "1200");
  EXPECT_EQ(m.headerOr("W"), "a b");
  // Several folded values in one head each keep their own joined text.
  ASSERT_EQ(
      cut("SIP-C/2.0 200 OK\r\nI: 1\r\nA: x\r\n y\r\n\tz\r\nB: 1\r\nC: p\r\n q\r\n\r\n", m, used),
      FrameStatus::kMessage);
  EXPECT_EQ(m.headerOr("A"), "x y z");
  EXPECT_EQ(m.headerOr("B"), "1");
  EXPECT_EQ(m.headerOr("C"), "p q");
}

TEST(FramerTest, RefusesWhatCannotBeFramed) {
  const char* bad[] = {
      "R d SIP-C/2.0\r\nI: 1\r\nL: -1\r\n\r\n",
      "R d SIP-C/2.0\r\nI: 1\r\nL: 1x\r\n\r\n",
      "R d SIP-C/2.0\r\nI: 1\r\nL: 2\r\nL: 2\r\n\r\nab",
      "R d SIP-C/2.0\r\nI: 1\r\nL: 300000\r\n\r\n",
      "R d SIP-C/2.0\r\nI: x\r\n\r\n",
      "R d SIP-C/2.0\r\nQ: 1 R\r\n\r\n",
      "R d SIP-C/2.0\r\nno colon\r\nI: 1\r\n\r\n",
      "R d\r\nI: 1\r\n\r\n",
      "SIP-C/2.0 20000000000 OK\r\nI: 1\r\n\r\n",
  };
  for (const char* b : bad) {
    SipcMessage m;
    size_t used = 0;
    EXPECT_EQ(cut(b, m, used), FrameStatus::kBad) << b;
  }
  SipcMessage m;
  size_t used = 0;
  EXPECT_EQ(cut(std::string(20000, 'a'), m, used), FrameStatus::kBad);
  EXPECT_EQ(cut(std::string(1000, 'a'), m, used), FrameStatus::kNeedMore);
}

TEST(FramerTest, SerialisedBodyLengthComesLast) {
  std::string s =
      serializeResponse(280, "Send SMS OK", {{"I", "3"}, {"L", "99"}, {"Q", "1 M"}}, "xyz");
  EXPECT_EQ(s, "SIP-C/2.0 280 Send SMS OK\r\nI: 3\r\nQ: 1 M\r\nL: 3\r\n\r\nxyz");
}

TEST(DigestTest, ParamsAreReadAtTheirBoundary) {
  std::string v;
  ASSERT_TRUE(quotedParam("Digest response=\"AB\",cnonce=\"CD\"", "nonce", v) == false);
  ASSERT_TRUE(quotedParam("Digest response=\"AB\",cnonce=\"CD\"", "cnonce", v));
  EXPECT_EQ(v, "CD");
  ASSERT_TRUE(quotedParam("Digest algorithm=\"MD5\",nonce=\"XY\"", "nonce", v));
  EXPECT_EQ(v, "XY");
  EXPECT_EQ(md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
}

}  // namespace

namespace {

TEST(FramerTest, BlankLinesAreDroppedAsSkippedAndCountAgainstTheHead) {
  const FrameLimits limits;  // 16 kB of head
  SipcMessage m;
  size_t used = 0, padding = 0;
  // Padding alone: handed back as consumed, so the caller keeps none of it.
  std::string blank;
  for (int i = 0; i < 1000; ++i) blank += "\r\n";
  ASSERT_EQ(cutMessage(blank, limits, m, used, &padding), FrameStatus::kNeedMore);
  EXPECT_EQ(used, blank.size());
  EXPECT_EQ(padding, blank.size());
  // A message after it is read, and the count starts again.
  const std::string msg = "S d SIP-C/2.0\r\nI: 1\r\nQ: 1 S\r\n\r\n";
  ASSERT_EQ(cutMessage(msg, limits, m, used, &padding), FrameStatus::kMessage);
  EXPECT_EQ(padding, 0u);
  // Read after read of nothing else: refused once past the head's limit.
  FrameStatus st = FrameStatus::kNeedMore;
  for (int reads = 0; reads < 20 && st == FrameStatus::kNeedMore; ++reads)
    st = cutMessage(blank, limits, m, used, &padding);
  EXPECT_EQ(st, FrameStatus::kBad);
  // Padding and a head together over the limit are refused too.
  padding = limits.maxHead - 10;
  EXPECT_EQ(cutMessage(msg, limits, m, used, &padding), FrameStatus::kBad);
}

// A signed-in client may send a body past the stranger's bound (a large
// contact list's presence subscription); a connection not yet registered
// that tries is closed.
TEST(FramerTest, ASignedInClientMaySendMoreThanAStranger) {
  Options options;
  options.memoryDb = true;
  Store store{":memory:", "tavrin.local"};
  seedDemo(store);
  SipcService service(nullptr, store, options);
  const std::string body(FrameLimits{}.maxBody + 1, 'x');
  const std::string request = "M tavrin.local SIP-C/2.0\r\nF: 100000001\r\nI: 9\r\nQ: 1 M\r\nL: " +
                              std::to_string(body.size()) + "\r\n\r\n" + body;
  for (const bool registered : {false, true}) {
    SCOPED_TRACE(registered);
    SipcConnection& c = service.openDetached();
    c.session.registered = registered;
    c.session.number = registered ? 100000001 : 0;
    c.feed(request);
    EXPECT_EQ(c.closed(), !registered);
    c.close();
    service.collectClosed();
  }
}

}  // namespace
