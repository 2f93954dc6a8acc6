// sipc_stream_cutter: framing received bytes into messages, and what it does
// with hostile or broken streams.
#include "sipc/stream_cutter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocation_probe.h"

namespace tavrin {
namespace {

std::string msg(int id, std::string_view body = {}, std::string_view method = "M") {
  std::string s =
      "M 512345678 SIP-C/2.0\r\nF: sip:600000001@tavrin.test\r\nI: " + std::to_string(id) +
      "\r\nQ: 1 " + std::string(method) + "\r\n";
  if (!body.empty()) s += "L: " + std::to_string(body.size()) + "\r\n";
  s += "\r\n";
  s.append(body);
  return s;
}

struct Cut {
  std::vector<sipc_message> messages;
  sipc_cut last = sipc_cut::incomplete;
};

Cut drain(sipc_stream_cutter& c) {
  Cut r;
  sipc_message m;
  while ((r.last = c.take(m)) == sipc_cut::message) r.messages.push_back(m);
  return r;
}

// Feeds the stream in pieces of the given size, taking after each piece.
Cut feed(std::string_view stream, std::size_t piece) {
  sipc_stream_cutter c;
  Cut all;
  for (std::size_t i = 0; i < stream.size(); i += piece) {
    c.append(stream.substr(i, piece));
    Cut r = drain(c);
    for (auto& m : r.messages) all.messages.push_back(std::move(m));
    all.last = r.last;
    if (r.last == sipc_cut::reset) break;
  }
  return all;
}

std::vector<int> ids(const Cut& c) {
  std::vector<int> v;
  for (const auto& m : c.messages) v.push_back(m.call_id());
  return v;
}

TEST(SipcStreamCutter, TwoMessagesInOneChunk) {
  sipc_stream_cutter c;
  c.append(msg(1, "<a/>") + msg(2, "hello"));
  sipc_message m;
  ASSERT_EQ(c.take(m), sipc_cut::message);
  EXPECT_EQ(m.call_id(), 1);
  EXPECT_EQ(m.body(), "<a/>");
  ASSERT_EQ(c.take(m), sipc_cut::message);
  EXPECT_EQ(m.call_id(), 2);
  EXPECT_EQ(m.body(), "hello");
  EXPECT_EQ(c.take(m), sipc_cut::incomplete);
  EXPECT_FALSE(c.mid_message());
  EXPECT_EQ(c.buffered(), 0u);
}

TEST(SipcStreamCutter, BodySplitAcrossReads) {
  std::string s = msg(5, "0123456789");
  sipc_stream_cutter c;
  c.append(s.substr(0, s.size() - 4));
  sipc_message m;
  EXPECT_EQ(c.take(m), sipc_cut::incomplete);
  EXPECT_TRUE(c.mid_message());
  EXPECT_EQ(c.missing(), 4u);
  c.append(s.substr(s.size() - 4));
  ASSERT_EQ(c.take(m), sipc_cut::message);
  EXPECT_EQ(m.body(), "0123456789");
  EXPECT_EQ(m.body_length(), 10);
  EXPECT_EQ(*m.get_header("L"), "10");  // received headers keep their place
}

// Any way of slicing the stream (one byte per read included, and slices that
// split "\r\n\r\n") yields the same messages; the stream is larger than the
// compaction threshold so that path runs too.
TEST(SipcStreamCutter, SameMessagesWhateverTheReadSizes) {
  std::string stream;
  std::vector<int> want;
  for (int i = 1; i <= 1000; ++i) {
    stream += msg(i, std::string(static_cast<std::size_t>(i % 37) * 7, 'x'));
    want.push_back(i);
  }
  ASSERT_GT(stream.size(), std::size_t{128} << 10);  // beyond the compaction threshold
  for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7},
                            std::size_t{1000}, std::size_t{65537}, stream.size()}) {
    Cut r = feed(stream, piece);
    EXPECT_EQ(ids(r), want) << "piece " << piece;
    EXPECT_EQ(r.last, sipc_cut::incomplete);
  }
}

TEST(SipcStreamCutter, BlankLinesBetweenMessagesAreFiller) {
  Cut r = feed("\r\n\r\n" + msg(1) + "\r\n" + msg(2, "b") + "\r\n\r\n\r\n" + msg(3), 1);
  EXPECT_EQ(ids(r), (std::vector<int>{1, 2, 3}));
}

// An unreadable head is skipped together with the body its "L" announces, and
// the messages behind it still arrive (the old cutter kept it forever).
TEST(SipcStreamCutter, InvalidHeadIsSkippedNotWedged) {
  const std::string bad[] = {
      "GARBAGE\r\n\r\n",
      "SIP-C/2.0 200\r\nI: 1\r\n\r\n",
      "M x SIP-C/2.0\r\nQ: 1 M\r\nL: 6\r\n\r\nI: 9\r\n",  // no I; body looks like a header
      "M x SIP-C/2.0\r\nI: 1\r\nbroken line\r\nL: 3\r\n\r\nabc",
      "SIP-C/2.0 4294967496 OK\r\nI: 1\r\nQ: 1 R\r\n\r\n",
      "M x SIP-C/2.0\r\nI: 1\r\nQ: 99999999999 M\r\n\r\n",
      std::string("\0\0\0 \xff\xfe \x80\r\n\r\n", 12),
  };
  for (const std::string& b : bad) {
    for (std::size_t piece : {std::size_t{1}, std::size_t{4096}}) {
      sipc_stream_cutter c;
      std::string stream = msg(1) + b + msg(2, "two");
      Cut r;
      for (std::size_t i = 0; i < stream.size(); i += piece) {
        c.append(std::string_view(stream).substr(i, piece));
        Cut d = drain(c);
        for (auto& m : d.messages) r.messages.push_back(m);
        r.last = d.last;
      }
      EXPECT_EQ(ids(r), (std::vector<int>{1, 2})) << b;
      EXPECT_EQ(r.last, sipc_cut::incomplete) << b;
      EXPECT_EQ(c.skipped_heads(), 1u) << b;
      EXPECT_FALSE(c.mid_message());
    }
  }
}

// Lengths that cannot be trusted end the stream: reset is reported, no later
// message is produced, nothing more is buffered, and clear() starts afresh.
TEST(SipcStreamCutter, UntrustworthyLengthResetsTheConnection) {
  const char* lengths[] = {"-1",       "-2147483648", "2147483648", "18446744073709551617",
                           "16777217", "abc",         "5 5",        "0x5",
                           ""};
  for (const char* l : lengths) {
    std::string bad = std::string("M x SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: ") + l + "\r\n\r\nabcde";
    sipc_stream_cutter c;
    c.append(msg(1) + bad + msg(2));
    Cut r = drain(c);
    EXPECT_EQ(ids(r), std::vector<int>{1}) << l;
    EXPECT_EQ(r.last, sipc_cut::reset) << l;
    EXPECT_FALSE(c.reset_reason().empty());
    c.append(msg(4));
    EXPECT_EQ(c.buffered(), 0u);
    sipc_message m;
    EXPECT_EQ(c.take(m), sipc_cut::reset);
    c.clear();
    c.append(msg(5));
    ASSERT_EQ(c.take(m), sipc_cut::message);
    EXPECT_EQ(m.call_id(), 5);
  }
}

// A body over its receiver's limit is read past without being held: an
// answer and a request both come out with body_dropped() (the answer's
// transaction fails, the request is refused), and the messages after them
// are intact. A receiver that allows
// more gets the whole body.
TEST(SipcStreamCutter, BodyOverTheLimitIsReadPastAndTheAnswerMarked) {
  const std::size_t big = sipc_max_body + 10;
  const std::string answer_head =
      "SIP-C/2.0 200 OK\r\nI: 7\r\nQ: 1 S\r\nL: " + std::to_string(big) + "\r\n\r\n";
  const std::string request_head =
      "M x SIP-C/2.0\r\nI: 8\r\nQ: 1 M\r\nL: " + std::to_string(big) + "\r\n\r\n";
  const std::string body(big, 'b');
  const std::string stream = msg(1) + answer_head + body + request_head + body + msg(2);

  for (std::size_t piece : {std::size_t{4096}, stream.size()}) {
    reset_largest_allocation();
    Cut r = feed(stream, piece);
    EXPECT_EQ(ids(r), (std::vector<int>{1, 7, 8, 2})) << piece;
    ASSERT_EQ(r.messages.size(), 4u);
    for (int i : {1, 2}) {
      EXPECT_TRUE(r.messages[i].body_dropped()) << i;
      EXPECT_TRUE(r.messages[i].body().empty()) << i;
      EXPECT_EQ(r.messages[i].get_header("L"), nullptr) << i;
    }
    EXPECT_EQ(r.messages[2].method(), "M");
    EXPECT_FALSE(r.messages[3].body_dropped());
    EXPECT_EQ(r.last, sipc_cut::incomplete);
    if (piece < big) {
      EXPECT_LT(largest_allocation(), sipc_max_body);  // never held
    }
  }

  sipc_stream_cutter wide;
  wide.set_body_limit([](const sipc_message& head) {
    return head.call_id() == 7 ? sipc_max_large_body : sipc_max_body;
  });
  wide.append(stream);
  Cut r = drain(wide);
  EXPECT_EQ(ids(r), (std::vector<int>{1, 7, 8, 2}));
  ASSERT_EQ(r.messages.size(), 4u);
  EXPECT_FALSE(r.messages[1].body_dropped());
  EXPECT_EQ(r.messages[1].body().size(), big);
}

TEST(SipcStreamCutter, DuplicatedLength) {
  std::string head = "M x SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: 4\r\nL: 400\r\n\r\nabcd";
  sipc_stream_cutter c;
  c.append(head);
  sipc_message m;
  EXPECT_EQ(c.take(m), sipc_cut::reset);

  sipc_stream_cutter same;
  same.append("M x SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: 4\r\nl: 4\r\n\r\nabcd");
  ASSERT_EQ(same.take(m), sipc_cut::message);
  EXPECT_EQ(m.body(), "abcd");
}

// A large announced body is waited for as it arrives; the caller sees how much
// is missing and runs its bounded wait. The largest allowed body passes.
TEST(SipcStreamCutter, BodyLargerThanWhatArrivesWaits) {
  std::string head = "M x SIP-C/2.0\r\nI: 3\r\nQ: 1 M\r\nL: 1048576\r\n\r\n";
  const std::string first = head + "tiny";
  sipc_stream_cutter c;
  reset_largest_allocation();
  c.append(first);
  sipc_message m;
  EXPECT_EQ(c.take(m), sipc_cut::incomplete);
  EXPECT_LT(largest_allocation(), std::size_t{4096});  // never the announced 1 MiB
  EXPECT_TRUE(c.mid_message());
  EXPECT_EQ(c.buffered(), 4u);
  EXPECT_EQ(c.missing(), sipc_max_body - 4);
  std::string rest(sipc_max_body - 4, '\0');
  c.append(rest);
  ASSERT_EQ(c.take(m), sipc_cut::message);
  EXPECT_EQ(m.body().size(), sipc_max_body);
  EXPECT_EQ(m.body().substr(0, 4), "tiny");
}

TEST(SipcStreamCutter, HeadWithoutEndIsBounded) {
  sipc_stream_cutter c;
  std::string junk(1000, 'A');
  sipc_message m;
  sipc_cut last = sipc_cut::incomplete;
  for (int i = 0; i < 100 && last != sipc_cut::reset; ++i) {
    c.append(junk);
    last = c.take(m);
  }
  EXPECT_EQ(last, sipc_cut::reset);
  EXPECT_EQ(c.buffered(), 0u);
}

TEST(SipcStreamCutter, NulBytesAndInvalidUtf8InBodyAndHeaders) {
  std::string body("<a>\0\xff\xfe\xc3\x28\r\n\r\n</a>", 16);
  std::string s =
      "M x SIP-C/2.0\r\nI: 8\r\nQ: 1 M\r\nF: " + std::string("s\0\xc0", 3) + "\r\nL: 16\r\n\r\n";
  Cut r = feed(s + body + msg(9), 1);
  ASSERT_EQ(ids(r), (std::vector<int>{8, 9}));
  EXPECT_EQ(r.messages[0].body(), body);
  EXPECT_EQ(*r.messages[0].get_header("F"), std::string("s\0\xc0", 3));
}

}  // namespace
}  // namespace tavrin
