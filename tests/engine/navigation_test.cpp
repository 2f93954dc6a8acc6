// Navigation against a loopback HTTP listener, the server-address
// functions, the engine settings, and hostile navigation replies.
#include "session/navigation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "libtavrin.h"
#include "net_helpers.h"
#include "sipc/engine_settings.h"
#include "sipc/server_settings.h"

using namespace tavrin;
using namespace tavrin::test;
using namespace std::chrono_literals;

namespace {

std::string take(char* s) {
  std::string out = s ? s : "(null)";
  free(s);
  return out;
}

TEST(ServerAddress, SetSplitsAtTheFirstColonAndReadsTheDigits) {
  const struct {
    const char* text;
    int result;
    const char* get;  // fx_get_serve_address afterwards
  } table[] = {
      {"10.0.0.7:8080", 1, "10.0.0.7:8080"},
      {"10.0.0.7:9000:1", 1, "10.0.0.7:9000"},  // two colons: the first splits
      {"10.0.0.7:81abc", 1, "10.0.0.7:81"},     // digits up to the first non-digit
      {"10.0.0.7:", 1, "(null)"},               // port 0: not known
      {"no-colon", 0, "(null)"},
      {":8080", 0, "(null)"},           // no host
      {"10.0.0.7:99999", 0, "(null)"},  // beyond a port
      {"10.0.0.7:99999999999999999999", 0, "(null)"},
  };
  for (const auto& row : table) {
    fx_set_unknow_serve_address();
    EXPECT_EQ(fx_set_serve_address(row.text), row.result) << row.text;
    EXPECT_EQ(take(fx_get_serve_address()), row.get) << row.text;
  }
  EXPECT_EQ(fx_set_serve_address(nullptr), 0);
  ASSERT_EQ(fx_set_serve_address("10.0.0.7:8080"), 1);
  fx_set_unknow_serve_address();
  EXPECT_EQ(fx_get_serve_address(), nullptr);
}

// "tls://" asks for TLS: with an address, or alone (navigation names the
// address); the demand stays until a plain address or forgetting.
TEST(ServerAddress, TlsSchemeAsksForTlsUntilAPlainAddressOrForgetting) {
  const struct {
    const char* text;
    int result;
    const char* get;
    bool tls;  // every connection then speaks TLS
  } table[] = {
      {"tls://10.0.0.7:8082", 1, "tls://10.0.0.7:8082", true},
      {"tls://", 1, "(null)", true},
      {"tls://:8082", 0, "(null)", false},
      {"tls://10.0.0.7", 0, "(null)", false},
  };
  for (const auto& row : table) {
    fx_set_unknow_serve_address();
    EXPECT_EQ(fx_set_serve_address(row.text), row.result) << row.text;
    EXPECT_EQ(take(fx_get_serve_address()), row.get) << row.text;
    EXPECT_EQ(server_settings().tls_required(), row.tls) << row.text;
  }
  ASSERT_EQ(fx_set_serve_address("tls://10.0.0.7:8082"), 1);
  ASSERT_EQ(fx_set_serve_address("10.0.0.7:8080"), 1);
  EXPECT_FALSE(server_settings().tls_required());
  EXPECT_EQ(take(fx_get_serve_address()), "10.0.0.7:8080");
  ASSERT_EQ(fx_set_serve_address("tls://10.0.0.7:8082"), 1);
  fx_set_unknow_serve_address();
  EXPECT_FALSE(server_settings().tls_required());
  EXPECT_EQ(fx_set_ca_file("/nowhere/ca.pem"), 1);
  EXPECT_EQ(take(fx_get_ca_file()), "/nowhere/ca.pem");
  EXPECT_EQ(fx_set_ca_file(nullptr), 0);
  engine_settings().reset();
  EXPECT_EQ(take(fx_get_ca_file()), "");
}

TEST(EngineSettings, SettersCheckTheirValuesAndGettersReturnNewStrings) {
  EXPECT_EQ(take(fx_get_sip_domain()), "tavrin.local");
  EXPECT_EQ(take(fx_get_navigation_address()), "nav.tavrin.local:80");
  EXPECT_EQ(take(fx_get_default_serve_address()), "127.0.0.1:8080");
  EXPECT_EQ(take(fx_get_signin_address()), "https://signin.tavrin.local");
  EXPECT_EQ(fx_set_sip_domain("example.test"), 1);
  EXPECT_EQ(fx_set_sip_domain(""), 0);
  EXPECT_EQ(fx_set_sip_domain(nullptr), 0);
  EXPECT_EQ(take(fx_get_sip_domain()), "example.test");
  EXPECT_EQ(fx_set_navigation_address("127.0.0.1", 0), 0);
  EXPECT_EQ(fx_set_navigation_address("127.0.0.1", 70000), 0);
  EXPECT_EQ(fx_set_navigation_address("127.0.0.1", 8000), 1);
  EXPECT_EQ(take(fx_get_navigation_address()), "127.0.0.1:8000");
  EXPECT_EQ(fx_set_default_serve_address("10.9.8.7:"), 1);  // port 0 means 8080
  EXPECT_EQ(take(fx_get_default_serve_address()), "10.9.8.7:8080");
  EXPECT_EQ(fx_set_default_serve_address("nocolon"), 0);
  EXPECT_EQ(fx_set_signin_address("https://127.0.0.1:8443"), 1);
  EXPECT_EQ(take(fx_get_signin_address()), "https://127.0.0.1:8443");
  engine_settings().reset();
}

TEST(Navigation, RequestTextForBothKindsOfIdAndNoneForOthers) {
  const std::string client =
      "<client type=\"PC\" version=\"2.3.0210\" platform=\"W5.1\" /><servers version=\"0\" />"
      "<service-no version=\"0\" /><parameters version=\"0\" /><hints version=\"0\" />"
      "<http-applications version=\"0\" /><client-config version=\"0\" /></config>";
  const std::string body = "<config><user sid=\"123456789\" />" + client;
  EXPECT_EQ(navigation_request("123456789", "nav.example"),
            "POST /nav/getsystemconfig.aspx HTTP/1.1\r\nUser-Agent: OXA2.0/PC 2.3.0210\r\n"
            "Accept: \r\nConnection: Close\r\nContent-Type: \r\nHost: nav.example\r\n"
            "Content-Length: " +
                std::to_string(body.size()) + "\r\n\r\n" + body);
  EXPECT_NE(
      navigation_request("13912345678", "h").find("<config><user mobile-no=\"13912345678\" />"),
      std::string::npos);
  EXPECT_EQ(navigation_request("1234567890", "h"), "");
  EXPECT_EQ(navigation_request("", "h"), "");
}

// A navigation server on loopback: reads the request, then runs the script.
class NavServer {
 public:
  using Script = std::function<void(int fd, const std::string& request)>;
  explicit NavServer(Script script)
      : thread_([this, script] {
          const int fd = listener_.accept(10000);
          if (fd < 0) return;
          accepted_ = true;
          std::string request;
          read_until(fd, request, "</config>");
          request_ = request;
          script(fd, request);
          ::close(fd);
        }) {
    fx_set_navigation_address("127.0.0.1", listener_.port());
  }
  ~NavServer() {
    join();
    engine_settings().reset();
  }
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  bool accepted() const { return accepted_; }
  const std::string& request() const { return request_; }

 private:
  Listener listener_;
  std::atomic<bool> accepted_{false};
  std::string request_;
  std::thread thread_;
};

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override { server_settings().reset(); }
  void TearDown() override {
    server_settings().reset();
    set_navigation_time_limit(0ms);
  }
};

TEST_F(NavigationTest, ReplyWithSipcProxySetsHostAndPort) {
  int flag = -1;
  {
    NavServer nav([](int fd, const std::string&) {
      write_all(fd,
                "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n<config><servers version=\"1\">"
                "<sipc-proxy>127.0.0.1:8080</sipc-proxy></servers></config>");
    });
    EXPECT_EQ(get_sipc_proxy("123456789", &flag), 1);
    EXPECT_EQ(flag, 0);
    nav.join();
    EXPECT_EQ(nav.request(), navigation_request("123456789", "127.0.0.1"));
  }
  EXPECT_EQ(take(fx_get_serve_address()), "127.0.0.1:8080");
  EXPECT_EQ(server_settings().proxy_text(), "127.0.0.1:8080");
}

// A newer service names its TLS address beside the plain one: the engine
// takes the TLS one; a front end that asked for TLS is never given plain.
TEST_F(NavigationTest, TheTlsAddressWinsAndATlsDemandNeverTurnsPlain) {
  const struct {
    const char* name;
    const char* asked;  // before the login; null: nothing
    std::string servers;
    const char* address;  // fx_get_serve_address afterwards
  } table[] = {
      {"both named", nullptr,
       "<sipc-proxy>127.0.0.1:8080</sipc-proxy><sipc-tls-proxy>127.0.0.1:8082</sipc-tls-proxy>",
       "tls://127.0.0.1:8082"},
      {"only plain", nullptr, "<sipc-proxy>127.0.0.1:8080</sipc-proxy>", "127.0.0.1:8080"},
      {"only TLS (no plain port)", nullptr, "<sipc-tls-proxy>127.0.0.1:8082</sipc-tls-proxy>",
       "tls://127.0.0.1:8082"},
      {"TLS asked, only plain named", "tls://", "<sipc-proxy>127.0.0.1:8080</sipc-proxy>",
       "tls://127.0.0.1:8080"},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    server_settings().reset();
    if (row.asked) {
      ASSERT_EQ(fx_set_serve_address(row.asked), 1);
    }
    int flag = -1;
    {
      const std::string servers = row.servers;
      NavServer nav([servers](int fd, const std::string&) {
        write_all(fd, "HTTP/1.1 200 OK\r\n\r\n<config><servers version=\"1\">" + servers +
                          "</servers></config>");
      });
      EXPECT_EQ(get_sipc_proxy("123456789", &flag), 1);
    }
    EXPECT_EQ(take(fx_get_serve_address()), row.address);
  }
}

TEST_F(NavigationTest, ReplyWithContentLengthEndsWithoutWaitingForTheClose) {
  set_navigation_time_limit(30s);
  NavServer nav([](int fd, const std::string&) {
    const std::string body = "<sipc-proxy>10.1.1.1:9000</sipc-proxy>";
    write_all(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" +
                      body);
    std::string rest;
    read_until(fd, rest, "\x01never", 10000);  // keeps the connection open
  });
  int flag = -1;
  EXPECT_EQ(get_sipc_proxy("13912345678", &flag), 1);
  EXPECT_EQ(take(fx_get_serve_address()), "10.1.1.1:9000");
}

TEST_F(NavigationTest, ServerThatAcceptsAndNeverAnswersEndsByTheTimeOut) {
  set_navigation_time_limit(500ms);
  NavServer nav([](int fd, const std::string&) {
    std::string rest;
    read_until(fd, rest, "\x01never", 5000);  // until the engine gives up
  });
  int flag = -1;
  EXPECT_EQ(get_sipc_proxy("123456789", &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(fx_get_serve_address(), nullptr);
}

TEST_F(NavigationTest, UnusableIdFailsWithoutTrafficAndNobodyListeningIsANetworkFailure) {
  int flag = -1;
  EXPECT_EQ(get_sipc_proxy("1234567890", &flag), 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(get_sipc_proxy(nullptr, &flag), 0);
  EXPECT_EQ(flag, 0);
  fx_set_navigation_address("127.0.0.1", free_port());
  EXPECT_EQ(get_sipc_proxy("123456789", &flag), 0);
  EXPECT_EQ(flag, 1);
  engine_settings().reset();
}

TEST_F(NavigationTest, ReplyWithoutAUsableSipcProxyLeavesTheAddressUnknown) {
  for (const char* body :
       {"<config />", "<sipc-proxy>10.1.1.1</sipc-proxy>", "<sipc-proxy>:80</sipc-proxy>"}) {
    NavServer nav([&](int fd, const std::string&) {
      write_all(fd, std::string("HTTP/1.1 200 OK\r\n\r\n") + body);
    });
    int flag = -1;
    EXPECT_EQ(get_sipc_proxy("123456789", &flag), 1) << body;
    nav.join();
    EXPECT_EQ(fx_get_serve_address(), nullptr) << body;
  }
}

TEST(NavigationReply, HostileStatusLinesAndLengths) {
  const std::string ok = "HTTP/1.1 200 OK\r\n";
  const struct {
    std::string reply;
    bool closed;
    NavReply verdict;
    std::string body;
  } table[] = {
      {ok + "\r\nabc", true, NavReply::complete, "abc"},
      {ok + "\r\nabc", false, NavReply::incomplete, ""},  // the body ends at the close
      {ok + "Content-Length: 3\r\n\r\nabcdef", false, NavReply::complete, "abc"},
      {ok + "content-length:  3 \r\n\r\nabc", false, NavReply::complete, "abc"},
      {ok + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc", false, NavReply::complete, "abc"},
      {ok + "Content-Length: 9\r\n\r\nabc", false, NavReply::incomplete, ""},
      {ok + "Content-Length: 9\r\n\r\nabc", true, NavReply::failed, ""},  // cut short
      {ok + "Content-Length: -1\r\n\r\nabc", true, NavReply::failed, ""},
      {ok + "Content-Length: abc\r\n\r\nabc", true, NavReply::failed, ""},
      {ok + "Content-Length: \r\n\r\nabc", true, NavReply::failed, ""},
      {ok + "Content-Length: 99999999999999999999999\r\n\r\nabc", false, NavReply::failed, ""},
      {ok + "Content-Length: 2000000\r\n\r\nabc", false, NavReply::failed, ""},  // over the limit
      {ok + "Content-Length: 3\r\nContent-Length: 4\r\n\r\nabcd", true, NavReply::failed, ""},
      {"HTTP/1.1 404 Not Found\r\n\r\n<sipc-proxy>1.2.3.4:5</sipc-proxy>", true, NavReply::failed,
       ""},
      {"HTTP/1.1 2000 OK\r\n\r\n", true, NavReply::failed, ""},
      {"HTTP/1.1 200", false, NavReply::incomplete, ""},
      {"HTTP/1.1 200", true, NavReply::failed, ""},
      {"<sipc-proxy>1.2.3.4:5</sipc-proxy>", true, NavReply::failed, ""},  // no status line
      {"", true, NavReply::failed, ""},
      {ok + "\r\n" + std::string("a\0b", 3), true, NavReply::complete, std::string("a\0b", 3)},
      {ok + "\r\n" + std::string(kNavigationReplyLimit, 'x'), true, NavReply::failed, ""},
  };
  for (const auto& row : table) {
    std::string body;
    EXPECT_EQ(judge_navigation_reply(row.reply, row.closed, &body), row.verdict)
        << row.reply.substr(0, 80);
    if (row.verdict == NavReply::complete) {
      EXPECT_EQ(body, row.body);
    }
  }
}

TEST(NavigationReply, SipcProxyTextBetweenTheTags) {
  const struct {
    std::string body;
    std::optional<std::string> text;
  } table[] = {
      {"<a><sipc-proxy>1.2.3.4:8080</sipc-proxy></a>", "1.2.3.4:8080"},
      {std::string("\0\xff<sipc-proxy>1.2.3.4:1</sipc-proxy>", 37), "1.2.3.4:1"},
      {"<sipc-proxy></sipc-proxy>", ""},
      {"<sipc-proxy>1.2.3.4:8080", std::nullopt},  // no closing tag
      {"sipc-proxy>sipc-proxy", std::nullopt},     // nothing between
      {"sipc-proxy", std::nullopt},
      {"none here", std::nullopt},
  };
  for (const auto& row : table) EXPECT_EQ(extract_sipc_proxy(row.body), row.text) << row.body;
  // An older engine reads the first "sipc-proxy" whatever follows it.
  const std::string both =
      "<sipc-proxy>1.2.3.4:8080</sipc-proxy><sipc-tls-proxy>1.2.3.4:8082</sipc-tls-proxy>";
  EXPECT_EQ(extract_sipc_proxy(both), "1.2.3.4:8080");
  EXPECT_EQ(extract_sipc_tls_proxy(both), "1.2.3.4:8082");
  EXPECT_EQ(extract_sipc_tls_proxy("<sipc-proxy>1.2.3.4:8080</sipc-proxy>"), std::nullopt);
}

}  // namespace
