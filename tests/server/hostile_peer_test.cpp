// Single requests that once crashed or stalled the server: a deeply nested
// XML body before login, an endless run of blank lines on the SIP-C port,
// and heads on the navigation port that leave the body's length ambiguous.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

std::string httpExchange(int port, const std::string& request) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(uint16_t(port));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
    timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buf[4096];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, size_t(n));
  }
  close(fd);
  return reply;
}

TEST(HostilePeerTest, DeepXmlBeforeLoginIsABadRequest) {
  ServerProcess server;
  SipcClient c(server.sipcPort());
  c.setId("13900000001");
  std::string deep;
  for (int i = 0; i < 42000; ++i) deep += "<a>";
  sipc_message answer;
  EXPECT_EQ(c.command("S", "GetUserInfo",
                      "<args><user mobile-no=\"13900000001\">" + deep + "</user></args>", &answer),
            400);
  // The same connection and the server go on as before.
  EXPECT_EQ(c.command("S", "GetUserInfo", "<args><user mobile-no=\"13900000001\" /></args>"), 200);
  ASSERT_TRUE(server.alive());
}

TEST(HostilePeerTest, BlankLinesAreConsumedAndCountAgainstTheHeadLimit) {
  ServerProcess server;
  {
    // Blank lines before a request, well within the limit, change nothing.
    SipcClient c(server.sipcPort());
    c.setId("13900000001");
    std::string padding;
    for (int i = 0; i < 2000; ++i) padding += "\r\n";
    c.sendRaw(padding);
    EXPECT_EQ(c.command("S", "GetUserInfo", "<args><user mobile-no=\"13900000001\" /></args>"),
              200);
  }
  // Nothing but blank lines: refused once they pass the head's 16 kB, not
  // kept and scanned again with every read.
  SipcClient c(server.sipcPort());
  std::string padding;
  for (int i = 0; i < 64 * 1024; ++i) padding += "\r\n";
  c.sendRaw(padding);
  sipc_message refused;
  EXPECT_TRUE(c.expect([](const sipc_message& m) { return m.is_response() && m.status() == 400; },
                       refused) ||
              c.closedByServer());
  EXPECT_TRUE(c.closedByServer());
  ASSERT_TRUE(server.alive());
}

TEST(HostilePeerTest, NavigationRefusesAmbiguousBodyLengths) {
  ServerProcess server;
  const std::string body = "<config/>";
  const std::string head = "POST /nav/getsystemconfig.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  // Each of these heads could frame the body differently behind a proxy.
  const char* refused[] = {
      "Content-Length: 9\r\nContent-Length: 4\r\n",
      "Content-Length: 9\r\nTransfer-Encoding: chunked\r\n",
      "transfer-encoding: identity\r\n",
      "Content-Length : 9\r\n",
      "Content-Length\t: 9\r\n",
      "Content-Length: 9\r\n Transfer-Encoding: chunked\r\n",
      "Content-Length: 9\r\nX-Note without colon\r\n",
  };
  for (const char* lines : refused) {
    const std::string reply = httpExchange(server.navPort(), head + lines + "\r\n" + body);
    EXPECT_EQ(reply.rfind("HTTP/1.1 400", 0), 0u) << lines << reply;
  }
  const std::string once =
      httpExchange(server.navPort(), head + "Content-Length: 9\r\n\r\n" + body);
  EXPECT_EQ(once.rfind("HTTP/1.1 200", 0), 0u) << once;
}

}  // namespace
