// The texts tavrin-server exchanges with the SMS gateway: the sendsms
// request, the gateway's answer, and the two calls it makes back.
#include <gtest/gtest.h>

#include <string>

#include "gateway_wire.h"
#include "http_get.h"

using namespace tavrin::server;

namespace {

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(GatewayWireTest, PartsAreCountedAsTheClientsCounterCountsThem) {
  const struct {
    std::string text;
    bool wide;
    int parts;
  } cases[] = {
      {"", false, 0},
      {repeat("a", 160), false, 1},
      {repeat("a", 161), false, 2},
      {repeat("a", 306), false, 2},
      {repeat("a", 307), false, 3},
      {repeat("短", 70), true, 1},
      {repeat("短", 71), true, 2},
      {repeat("短", 134), true, 2},
      {repeat("短", 135), true, 3},
      {"é" + repeat("a", 69), true, 1},
      // A character outside the first plane is two UTF-16 units, as in the box.
      {repeat("😀", 35), true, 1},
      {repeat("😀", 36), true, 2},
  };
  for (const auto& c : cases) {
    const SmsShape s = smsShape(c.text);
    EXPECT_EQ(s.wide, c.wide) << c.text;
    EXPECT_EQ(s.parts, c.parts) << c.text;
  }
}

TEST(GatewayWireTest, SendsmsRequestCarriesTheTextExactlyAndUcs2ForChinese) {
  SendSms sms{"tav", "p&ss word", "13900000001", "13800138000", "今晚 7:00 <见>&", ""};
  sms.dlrUrl = "http://127.0.0.1:8081/sms/dlr?id=7&type=%d";
  const std::string t = sendSmsTarget("/cgi-bin/sendsms", sms);
  EXPECT_EQ(t.rfind("/cgi-bin/sendsms?username=tav&password=p%26ss%20word&from=13900000001"
                    "&to=13800138000&charset=UTF-8&coding=2&text=",
                    0),
            0u)
      << t;
  const size_t text = t.find("&text=") + 6;
  EXPECT_EQ(percentDecode(t.substr(text, t.find('&', text) - text)), "今晚 7:00 <见>&");
  // The report type placeholder reaches the gateway as "%d" once it decoded the URL.
  EXPECT_NE(t.find("&dlr-mask=19&dlr-url=http%3A%2F%2F127.0.0.1%3A8081%2Fsms%2Fdlr%3Fid%3D7%26"
                   "type%3D%25d"),
            std::string::npos)
      << t;
  sms.text = "plain";
  sms.from.clear();
  sms.dlrUrl.clear();
  EXPECT_EQ(sendSmsTarget("/s?x=1", sms),
            "/s?x=1&username=tav&password=p%26ss%20word&to=13800138000&charset=UTF-8&text=plain");
}

TEST(GatewayWireTest, GatewayUrlsAreNumericHttpOnes) {
  auto u = parseGatewayUrl("http://127.0.0.1:13013/cgi-bin/sendsms");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->host, "127.0.0.1");
  EXPECT_EQ(u->port, 13013);
  EXPECT_EQ(u->path, "/cgi-bin/sendsms");
  EXPECT_EQ(parseGatewayUrl("http://localhost/x")->host, "127.0.0.1");
  for (const char* bad : {"https://127.0.0.1/x", "http://127.0.0.1:13013", "http://gw.example.com/x",
                          "http://127.0.0.1:0/x", "http://127.0.0.1:99999/x", "http://:80/x", ""})
    EXPECT_FALSE(parseGatewayUrl(bad)) << bad;
}

TEST(GatewayWireTest, MessagesFromPhonesAreReadInTheirCoding) {
  const struct {
    const char* query;
    const char* from;
    const char* to;
    const char* text;
  } cases[] = {
      // UCS-2 bytes 4F60 597D 0020 003C: "你好 <"
      {"from=13800138000&to=13900000001&text=O%60Y%7D%00+%00%3C&coding=2&charset=UTF-16BE",
       "13800138000", "13900000001", "你好 <"},
      {"from=%2B8613800138000&to=10650000&text=hello+there%26&coding=0&charset=UTF-8", "13800138000",
       "10650000", "hello there&"},
      {"from=008613800138000&to=13900000001&text=caf%E9", "13800138000", "13900000001", "café"},
      // A surrogate pair, then an unpaired half and an odd byte.
      {"from=13800138000&to=1&text=%D8%3D%DE%00%D8%3D%00", "13800138000", "", nullptr},
      {"from=13800138000&to=13900000001&text=%D8%3D%DE%00%D8%3D%00&coding=2", "13800138000",
       "13900000001", "😀\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"from=13800138000&to=13900000001&text=", nullptr, nullptr, nullptr},
      {"from=abc&to=13900000001&text=x", nullptr, nullptr, nullptr},
      {"to=13900000001&text=x", nullptr, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const auto m = parsePhoneMessage(c.query);
    if (!c.text) {
      EXPECT_FALSE(m) << c.query;
      continue;
    }
    ASSERT_TRUE(m) << c.query;
    EXPECT_EQ(m->from, c.from);
    EXPECT_EQ(m->to, c.to);
    EXPECT_EQ(m->text, c.text) << c.query;
  }
}

TEST(GatewayWireTest, DeliveryReportsNameTheirRowAndOutcome) {
  const struct {
    const char* query;
    long row;
    ReportOutcome outcome;
  } cases[] = {
      {"id=12&type=1", 12, ReportOutcome::kDelivered},
      {"type=2&id=12", 12, ReportOutcome::kFailed},
      {"id=12&type=16", 12, ReportOutcome::kFailed},
      {"id=12&type=8", 12, ReportOutcome::kNone},
      {"id=12&type=4", 12, ReportOutcome::kNone},
      {"id=0&type=1", 0, ReportOutcome::kNone},
      {"id=-3&type=1", 0, ReportOutcome::kNone},
      {"id=12", 0, ReportOutcome::kNone},
      {"id=1234567890123456789&type=1", 0, ReportOutcome::kNone},
      {"id=12&type=%d", 0, ReportOutcome::kNone},
  };
  for (const auto& c : cases) {
    const auto r = parseDeliveryReport(c.query);
    if (c.row == 0) {
      EXPECT_FALSE(r) << c.query;
      continue;
    }
    ASSERT_TRUE(r) << c.query;
    EXPECT_EQ(r->row, c.row);
    EXPECT_EQ(reportOutcome(r->type), c.outcome) << c.query;
  }
}

TEST(GatewayWireTest, AnAnswerIsCompleteAtItsLengthOrAtTheClose) {
  const std::string accepted =
      "HTTP/1.1 202 Accepted\r\nContent-Length: 24\r\nConnection: close\r\n\r\n0: Accepted for "
      "delivery";
  HttpAnswer a = readHttpAnswer(accepted, false);
  EXPECT_TRUE(a.complete);
  EXPECT_EQ(a.status, 202);
  EXPECT_EQ(a.body, "0: Accepted for delivery");
  EXPECT_FALSE(readHttpAnswer(accepted.substr(0, accepted.size() - 1), false).complete);
  EXPECT_FALSE(readHttpAnswer("HTTP/1.0 503 Service Unavailable\r\n\r\nlater", false).complete);
  a = readHttpAnswer("HTTP/1.0 503 Service Unavailable\r\n\r\nlater", true);
  EXPECT_TRUE(a.complete);
  EXPECT_EQ(a.status, 503);
  a = readHttpAnswer("SSH-2.0-x\r\n\r\n", false);  // not HTTP: a failed exchange
  EXPECT_TRUE(a.complete);
  EXPECT_EQ(a.status, -1);
  EXPECT_FALSE(readHttpAnswer("HTTP/1.1 202", true).complete);

  // The connection carries the next request only when its end is known and nobody closes it.
  const struct {
    const char* raw;
    bool keep;
  } reuse[] = {
      {"HTTP/1.1 202 Accepted\r\nContent-Length: 2\r\n\r\nok", true},
      {"HTTP/1.1 202 Accepted\r\nConnection: Keep-Alive\r\nContent-Length: 2\r\n\r\nok", true},
      {"HTTP/1.1 202 Accepted\r\nConnection: close\r\nContent-Length: 2\r\n\r\nok", false},
      {"HTTP/1.0 202 Accepted\r\nContent-Length: 2\r\n\r\nok", false},
      {"HTTP/1.1 202 Accepted\r\nContent-Length: 2\r\n\r\nokEXTRA", false},
  };
  for (const auto& r : reuse) {
    const HttpAnswer x = readHttpAnswer(r.raw, false);
    EXPECT_TRUE(x.complete) << r.raw;
    EXPECT_EQ(x.keepAlive, r.keep) << r.raw;
  }
}

}  // namespace
