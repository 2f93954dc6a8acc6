// The doctor's readers of what peers answer: proxy status lines, the
// navigation answer and the own-info answer, and the address form the
// engine reads.
#include <gtest/gtest.h>

#include "doctor/navigation_probe.h"
#include "doctor/proxy_probe.h"
#include "doctor/sipc_probe.h"

namespace tavrin::cli::doctor {
namespace {

TEST(DoctorReplies, HttpStatusLinesAreReadOnlyWhenWellFormed) {
  const struct {
    const char* head;
    const char* status;
  } cases[] = {
      {"HTTP/1.0 407 Proxy Authentication Required\r\nServer: x\r\n\r\n",
       "407 Proxy Authentication Required"},
      {"HTTP/1.1 200\r\n\r\n", "200"},
      {"HTTP/1.1 2000 OK\r\n", ""},
      {"HTTP/1.1 20x OK\r\n", ""},
      {"HTTP/1.1 20", ""},
      {"SIP-C/2.0 400 Bad Request\r\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(http_status_of(c.head), c.status) << c.head;
  EXPECT_EQ(http_status_code("503 Service Unavailable"), 503);
}

TEST(DoctorReplies, NavigationAnswerIsWholeByItsLengthOrTheClose) {
  const struct {
    const char* answer;
    bool closed;
    std::optional<std::string> body;
    bool bad;
  } cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nabcdXYZ", false, "abcd", false},
      {"HTTP/1.1 200 OK\r\ncontent-length:  4 \r\n\r\nab", false, std::nullopt, false},
      {"HTTP/1.1 200 OK\r\n\r\nabc", false, std::nullopt, false},
      {"HTTP/1.1 200 OK\r\n\r\nabc", true, "abc", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nabcde", false,
       std::nullopt, true},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, std::nullopt, true},
      {"HTTP/1.1 200 OK\r\nContent-Length: 4", true, std::nullopt, false},
  };
  for (const auto& c : cases) {
    bool bad = false;
    EXPECT_EQ(navigation_body(c.answer, c.closed, &bad), c.body) << c.answer;
    EXPECT_EQ(bad, c.bad) << c.answer;
  }
}

TEST(DoctorReplies, AddressesSplitAsTheEngineSplitsThem) {
  const struct {
    const char* text;
    const char* host;  // null: refused
    int port;
  } cases[] = {
      {"127.0.0.1:5060", "127.0.0.1", 5060},
      {"sipc.example.com:0", "sipc.example.com", 8080},
      {"h:81x", "h", 81},
      {"h:", "h", 8080},
      {"h", nullptr, 0},
      {":80", nullptr, 0},
      {"h:70000", nullptr, 0},
  };
  for (const auto& c : cases) {
    const auto a = parse_address(c.text);
    ASSERT_EQ(a.has_value(), c.host != nullptr) << c.text;
    if (a) {
      EXPECT_EQ(a->text(), std::string(c.host) + ":" + std::to_string(c.port));
    }
  }
}

TEST(DoctorReplies, OwnInfoNamesTheAccountAndItsDomain) {
  const std::string uri = own_info_uri(
      "<results><user mobile-no=\"13900000001\" uri=\"sip:100000001@tavrin.test;p=1\" "
      "user-status=\"0\" /></results>");
  EXPECT_EQ(uri, "sip:100000001@tavrin.test;p=1");
  const AccountUri parts = split_account_uri(uri);
  EXPECT_EQ(parts.number, "100000001");
  EXPECT_EQ(parts.domain, "tavrin.test");
  EXPECT_EQ(split_account_uri("sip:100000001@tavrin.test").domain, "tavrin.test");
  EXPECT_EQ(own_info_uri("<results><user xuri=\"sip:1@x\" /></results>"), "");
  EXPECT_EQ(own_info_uri("<results><user uri=\"sip:1@x /></results>"), "");
  EXPECT_EQ(split_account_uri("tel:13900000001").number, "");
}

}  // namespace
}  // namespace tavrin::cli::doctor
