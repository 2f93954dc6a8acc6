// sipc_message: building, headers, copy, serialising and reading heads.
#include "sipc/message.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

const sipc_origin kOrigin{"tavrin.test", "512345678"};

TEST(SipcMessage, RequestSerialisesWithCallIdSpaceAndLengthLast) {
  sipc_message m = sipc_message::request(kOrigin, "S", 7, 1, "0123456789");
  m.add_header("N", "GetContactList");  // added after the body
  EXPECT_EQ(m.serialise(),
            "S tavrin.test SIP-C/2.0\r\n"
            "F: 512345678\r\n"
            "I: 7 \r\n"
            "Q: 1 S\r\n"
            "N: GetContactList\r\n"
            "L: 10\r\n"
            "\r\n"
            "0123456789");
  EXPECT_EQ(m.call_id(), 7);
  EXPECT_EQ(m.sequence(), 1);
  EXPECT_EQ(m.body_length(), 10);
}

TEST(SipcMessage, RequestWithoutBodyHasNoLength) {
  sipc_message m = sipc_message::request(kOrigin, "R", 1, 1);
  EXPECT_EQ(m.get_header("L"), nullptr);
  EXPECT_EQ(m.serialise(), "R tavrin.test SIP-C/2.0\r\nF: 512345678\r\nI: 1 \r\nQ: 1 R\r\n\r\n");
}

TEST(SipcMessage, SetBodyReplacesLengthAndKeepsNulBytes) {
  sipc_message m = sipc_message::request(kOrigin, "M", 3, 2, "first");
  m.add_header("C", "text/plain");
  m.set_body(std::string_view("a\0b", 3));
  ASSERT_NE(m.get_header("L"), nullptr);
  EXPECT_EQ(*m.get_header("L"), "3");
  int lengths = 0;
  for (const auto& h : m.headers()) lengths += h.first == "L";
  EXPECT_EQ(lengths, 1);
  std::string wire = m.serialise();
  EXPECT_EQ(wire.substr(wire.size() - 11), std::string("L: 3\r\n\r\na\0b", 11));
}

TEST(SipcMessage, HeaderNamesIgnoreAsciiCase) {
  sipc_message m;
  m.add_header("SO", "sip:1@x");
  m.add_header("k", "nudge");
  m.add_header("K", "multiparty");
  m.add_header("", "ignored");
  EXPECT_EQ(m.headers().size(), 3u);
  ASSERT_NE(m.get_header("so"), nullptr);
  EXPECT_EQ(*m.get_header("So"), "sip:1@x");
  EXPECT_EQ(*m.get_header("K"), "nudge");  // the first of two
  EXPECT_TRUE(m.remove_header("K"));
  EXPECT_EQ(*m.get_header("k"), "multiparty");
  EXPECT_FALSE(m.remove_header("Z"));
  EXPECT_FALSE(sipc_name_equal("L", "LL"));
  EXPECT_FALSE(sipc_name_equal("\xC9", "\xE9"));  // no locale folding of non-ASCII bytes
}

TEST(SipcMessage, ResponseFromCopiedRequestKeepsHeaders) {
  sipc_head h = sipc_parse_head(
      "M 512345678 SIP-C/2.0\r\nF: sip:600000001@tavrin.test\r\nI: 12\r\nQ: 3 M\r\n"
      "C: text/plain\r\nL: 2");
  ASSERT_EQ(h.result, sipc_head_result::ok);
  sipc_message answer = h.message;
  answer.set_status(200);
  EXPECT_EQ(answer.serialise(),
            "SIP-C/2.0 200 OK\r\n"
            "F: sip:600000001@tavrin.test\r\nI: 12\r\nQ: 3 M\r\nC: text/plain\r\nL: 2\r\n\r\n");
  EXPECT_FALSE(h.message.is_response());  // the copy is deep
  answer.set_status(486);                 // the reason phrase is always OK
  EXPECT_EQ(answer.serialise().substr(0, 18), "SIP-C/2.0 486 OK\r\n");
}

TEST(SipcMessage, ParsesResponseWithQMethod) {
  sipc_head h = sipc_parse_head("SIP-C/2.0 200 OK\r\nI: 1\r\nQ: 2 R\r\nX: 600");
  ASSERT_EQ(h.result, sipc_head_result::ok);
  EXPECT_EQ(h.message.status(), 200);
  EXPECT_EQ(h.message.method(), "R");
  EXPECT_EQ(h.message.sequence(), 2);
  EXPECT_EQ(h.message.target(), "OK");
  EXPECT_EQ(h.message.call_id(), 1);
  EXPECT_EQ(h.body_length, 0u);
}

TEST(SipcMessage, ParsesReasonWithSpacesFoldedLinesAndBlanksAfterColon) {
  sipc_head h = sipc_parse_head(
      "SIP-C/2.0 401 Unauthoried Access Denied\r\n"
      "I:  4 \r\n"
      "Q: 1 R\r\n"
      "W: Digest algorithm=\"MD5-sess\",\r\n"
      " \t nonce=\"ABC\"\r\n"
      "\tdone\r\n"
      "X:\t\t5");
  ASSERT_EQ(h.result, sipc_head_result::ok);
  EXPECT_EQ(h.message.target(), "Unauthoried Access Denied");
  EXPECT_EQ(h.message.call_id(), 4);
  EXPECT_EQ(*h.message.get_header("I"), "4 ");  // trailing blanks stay
  EXPECT_EQ(*h.message.get_header("W"), "Digest algorithm=\"MD5-sess\", nonce=\"ABC\" done");
  EXPECT_EQ(*h.message.get_header("X"), "5");
}

// A short line is a header like any other: an empty value keeps the headers
// after it, a short line without ':' is as invalid as a long one.
TEST(SipcMessage, ShortHeaderLinesDoNotEndTheHeaders) {
  struct Case {
    const char* head;
    sipc_head_result result;
    const char* short_name;  // the short line's header, read with an empty value
  };
  const Case cases[] = {
      {"BN 1 SIP-C/2.0\r\nK:\r\nI: 9\r\nQ: 1 BN\r\nN: presence", sipc_head_result::ok, "K"},
      {"BN 1 SIP-C/2.0\r\nI: 9\r\nQ: 1 BN\r\nK: \r\nN: presence", sipc_head_result::ok, "K"},
      {"BN 1 SIP-C/2.0\r\nI: 9\r\nQ: 1 BN\r\n:\r\nN: presence", sipc_head_result::ok, ""},
      {"BN 1 SIP-C/2.0\r\nI: 9\r\nQ: 1 BN\r\nab\r\nN: presence", sipc_head_result::invalid,
       nullptr},
  };
  for (const Case& c : cases) {
    sipc_head h = sipc_parse_head(c.head);
    EXPECT_EQ(h.result, c.result) << c.head;
    const std::string* n = h.message.get_header("N");
    ASSERT_NE(n, nullptr) << c.head;
    EXPECT_EQ(*n, "presence") << c.head;
    if (!c.short_name) continue;
    const std::string* k = h.message.get_header(c.short_name);
    ASSERT_NE(k, nullptr) << c.head;
    EXPECT_EQ(*k, "") << c.head;
    EXPECT_EQ(h.message.call_id(), 9) << c.head;
  }
}

TEST(SipcMessage, MethodComesFromQAndIsNoneWithoutIt) {
  sipc_head h = sipc_parse_head("N 1 SIP-C/2.0\r\nI: 9");
  ASSERT_EQ(h.result, sipc_head_result::ok);
  EXPECT_FALSE(h.message.has_method());
}

// I, Q and L are read while the headers are: by exact one-letter name in any
// case, the first I and Q win, and a folded value is read whole.
TEST(SipcMessage, ReadsCallIdSequenceAndLengthFromTheRightHeaders) {
  struct Case {
    const char* head;
    sipc_head_result result;
    int32_t call_id, sequence;
    const char* method;
    std::size_t body_length;
  };
  const Case cases[] = {
      {"M 1 SIP-C/2.0\r\ni: 7\r\nq: 3 M\r\nI: 8\r\nQ: 4 X\r\nl: 2", sipc_head_result::ok, 7, 3, "M",
       2},
      {"M 1 SIP-C/2.0\r\nId: 5\r\nI: 6\r\nQs: 9 X\r\nQ: 2 M\r\nLen: 9", sipc_head_result::ok, 6, 2,
       "M", 0},
      {"M 1 SIP-C/2.0\r\nI: 1\r\n 2\r\nQ: 3 M", sipc_head_result::invalid, 0, 3, "M", 0},
      {"M 1 SIP-C/2.0\r\nI: 1\r\nQ: 3\r\n N\r\nL: 4\r\n\t", sipc_head_result::ok, 1, 3, "N", 4},
      {"M 1 SIP-C/2.0\r\nI: 1\r\nQ: 3 M\r\nL: 4\r\n 2", sipc_head_result::bad_length, 0, 0, "M", 0},
      {"M 1 SIP-C/2.0\r\nId: 5\r\nQ: 2 M", sipc_head_result::invalid, 0, 2, "M", 0},
  };
  for (const Case& c : cases) {
    sipc_head h = sipc_parse_head(c.head);
    EXPECT_EQ(h.result, c.result) << c.head;
    EXPECT_EQ(h.message.call_id(), c.call_id) << c.head;
    EXPECT_EQ(h.message.sequence(), c.sequence) << c.head;
    EXPECT_EQ(h.message.method(), c.method) << c.head;
    EXPECT_EQ(h.body_length, c.body_length) << c.head;
  }
}

// Heads that cannot be read at all. The stream skips them (see the cutter tests).
TEST(SipcMessage, InvalidHeads) {
  const char* cases[] = {
      "",                                           // empty
      "GARBAGE",                                    // one part
      "SIP-C/2.0 200",                              // two parts
      "M x SIP-C/2.0\r\nQ: 1 M",                    // no I
      "M x SIP-C/2.0\r\nI: seven\r\nQ: 1 M",        // I not a number
      "M x SIP-C/2.0\r\nI: 1\r\nno colon here",     // header without ':'
      "M x SIP-C/2.0\r\nI: 4294967297\r\nQ: 1 M",   // call id beyond 32 bits
      "M x SIP-C/2.0\r\nI: 1\r\nQ: 4294967297 M",   // sequence beyond 32 bits
      "M x SIP-C/2.0\r\nI: 1\r\nQ: x M",            // sequence not a number
      "SIP-C/2.0 4294967496 OK\r\nI: 1\r\nQ: 1 R",  // status beyond 32 bits (wraps to 200)
      "SIP-C/2.0 abc OK\r\nI: 1\r\nQ: 1 R",         // status not a number
      "SIP-C/2.0 0 OK\r\nI: 1\r\nQ: 1 R",           // status 0 would pass for a request
      "SIP-C/2.0 -200 OK\r\nI: 1\r\nQ: 1 R",        // negative status
  };
  for (const char* c : cases) EXPECT_EQ(sipc_parse_head(c).result, sipc_head_result::invalid) << c;
}

TEST(SipcMessage, UntrustworthyLengths) {
  struct {
    const char* l;
    bool ok;
  } cases[] = {
      {"L: 0", true},          {"L: 16777216", true},  {"L:  12 ", true},
      {"L: 5\r\nl: 5", true},  // repeated with the same value
      {"L: -1", false},        {"L: 16777217", false}, {"L: 99999999999999999999999", false},
      {"L: 5\r\nL: 6", false}, {"L: abc", false},      {"L: 12abc", false},
      {"L: +5", false},        {"L: 0x10", false},     {"L:  ", false},
  };
  for (const auto& c : cases) {
    std::string head = std::string("M x SIP-C/2.0\r\nI: 1\r\nQ: 1 M\r\n") + c.l;
    sipc_head h = sipc_parse_head(head);
    EXPECT_EQ(h.result, c.ok ? sipc_head_result::ok : sipc_head_result::bad_length) << c.l;
  }
  // A bad length wins over an otherwise unreadable head: the stream is lost either way.
  EXPECT_EQ(sipc_parse_head("junk\r\nL: -3").result, sipc_head_result::bad_length);
}

TEST(SipcMessage, NulBytesAndInvalidUtf8AreJustBytes) {
  std::string head("M x SIP-C/2.0\r\nI: 2\r\nQ: 1 M\r\nF: a\0b\xff\xfe\r\nC: \xc3\x28", 44);
  sipc_head h = sipc_parse_head(head);
  ASSERT_EQ(h.result, sipc_head_result::ok);
  EXPECT_EQ(*h.message.get_header("F"), std::string("a\0b\xff\xfe", 5));
  EXPECT_EQ(*h.message.get_header("C"), "\xc3\x28");
}

}  // namespace
}  // namespace tavrin
