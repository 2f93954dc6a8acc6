// The delivery state of SMS to phones on the SMS screens, against the real
// server: with a gateway that accepts every SMS, a phone's report (injected
// through the server's /sms/dlr callback, as the gateway would call it)
// lands on the group-SMS line of that SMS, matched by phone and text, and is
// no chat line, and the SMS to self shows its own; without a gateway the
// group SMS to a phone is not sent and its line says so.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "screens/chat/ChatLines.h"
#include "screens/sms/CBriskGroupMsg.h"
#include "screens/sms/CBriskToSelfMsg.h"
#include "sms_fixture.h"

using tavrin::screens::CBriskGroupMsg;

namespace {

// A stand-in for the gateway's sendsms: answers every request 202 on a
// loopback port of its own, until it is destroyed.
class AcceptingGateway {
 public:
  AcceptingGateway() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(fd_, 16) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
      port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~AcceptingGateway() {
    stop_ = true;
    thread_.join();
    close(fd_);
  }
  std::string url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/cgi-bin/sendsms";
  }
  int requests() const { return requests_; }

 private:
  void serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 50) != 1) continue;
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) continue;
      std::string req;
      char buf[4096];
      ssize_t n;
      while (req.find("\r\n\r\n") == std::string::npos && (n = read(c, buf, sizeof buf)) > 0)
        req.append(buf, size_t(n));
      const std::string answer =
          "HTTP/1.0 202 Accepted\r\nContent-Length: 26\r\n\r\n0: Accepted for delivery\r\n";
      (void)!write(c, answer.data(), answer.size());
      close(c);
      ++requests_;
    }
  }
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

// Status of a GET to the server's navigation port, or -1.
int http_get(int port, const std::string& target) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int status = -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
    const std::string req = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    (void)!write(fd, req.data(), req.size());
    char buf[512];
    if (read(fd, buf, sizeof buf - 1) >= 12) status = std::atoi(buf + 9);
  }
  close(fd);
  return status;
}

class GroupSmsStateTest : public tavrin::test::SmsScreenTest {
 protected:
  static size_t index_of(CBriskGroupMsg& s, std::u16string_view name) {
    const auto& contacts = s.lists().contacts();
    for (size_t i = 0; i < contacts.size(); ++i)
      if (contacts[i].name.substr(0, name.size()) == name) return i;
    ADD_FAILURE() << "no such contact";
    return 0;
  }
  void tap_contact(CBriskGroupMsg& s, std::u16string_view name) {
    tap_window(150, CBriskGroupMsg::kContacts.top + int(index_of(s, name)) * 60 + 30);
  }
  static bool settled(const CBriskGroupMsg& s) {
    for (const auto& r : s.results())
      if (r.outcome == CBriskGroupMsg::Outcome::kWaiting) return false;
    return !s.results().empty();
  }
  static std::vector<std::u16string> lines(CBriskGroupMsg& s) {
    std::vector<std::u16string> out;
    for (const auto& r : s.results()) out.push_back(CBriskGroupMsg::line_of(r));
    return out;
  }
};

class GatewayStateTest : public GroupSmsStateTest {
 protected:
  std::vector<std::string> extra_server_flags() override {
    const std::string password = data.file("gateway-password");
    std::ofstream(password) << "gateway-secret\n";
    return {"--sms-gateway",
            gateway_.url(),
            "--sms-gateway-user",
            "tavrin",
            "--sms-gateway-password-file",
            password};
  }
  AcceptingGateway gateway_;
};

TEST_F(GatewayStateTest, EachReportLandsOnTheLineOfItsSmsAndIsNoChatLine) {
  CBriskGroupMsg screen(0, 1);
  std::vector<std::u16string> chat_lines;
  inside_modal([&] {
    const long mum = screen.lists().contacts()[index_of(screen, u"Mum")].id;
    tap_contact(screen, u"Carol");
    tap_contact(screen, u"Mum");
    type(u"明早八点接你");
    tap_window(60, 695);  // 发送
    ASSERT_TRUE(pump_until([&] { return settled(screen); }));
    screen.box().set_text(u"车票已买好");
    tap_window(60, 695);
    ASSERT_TRUE(pump_until([&] { return screen.results().size() == 4 && settled(screen); }));
    const std::vector<std::u16string> accepted = {
        u"我对Carol说:明早八点接你", u"我对Mum说:明早八点接你", u"我对Carol说:车票已买好",
        u"我对Mum说:车票已买好"};
    EXPECT_EQ(lines(screen), accepted);
    EXPECT_EQ(gateway_.requests(), 2);

    // The later SMS is reported first: each report finds its own line
    // whatever the order.
    const std::string first =
        query("SELECT id FROM outbox WHERE body='明早八点接你' AND phone='13800138000'");
    const std::string second =
        query("SELECT id FROM outbox WHERE body='车票已买好' AND phone='13800138000'");
    EXPECT_EQ(http_get(server().nav(), "/sms/dlr?id=" + second + "&type=1"), 200);
    EXPECT_EQ(http_get(server().nav(), "/sms/dlr?id=" + first + "&type=2"), 200);
    // What the main window does when a line of Mum's arrives.
    const auto reported = [&] {
      tavrin::screens::chat::take_received(
          mum, u"Mum", [&](tavrin::screens::chat::ChatLine& l) {
            chat_lines.push_back(l.text);
            return true;
          });
      return screen.results()[1].outcome == CBriskGroupMsg::Outcome::kNotDelivered &&
             screen.results()[3].outcome == CBriskGroupMsg::Outcome::kDelivered;
    };
    EXPECT_TRUE(pump_until(reported));
    EXPECT_EQ(golden("group_delivery"), "");
    tap_window(420, 695);
  });
  screen.run_modal();
  const std::vector<std::u16string> want = {
      u"我对Carol说:明早八点接你", u"我对Mum说(未送达):明早八点接你", u"我对Carol说:车票已买好",
      u"我对Mum说(已送达):车票已买好"};
  EXPECT_EQ(lines(screen), want);
  EXPECT_TRUE(chat_lines.empty()) << chat_lines.size() << " report(s) shown as chat lines";
  EXPECT_EQ(query("SELECT group_concat(state) FROM (SELECT state FROM outbox WHERE "
                  "phone='13800138000' ORDER BY id)"),
            "3,2");
}

TEST_F(GatewayStateTest, TheReportOfAnSmsToSelfShowsUnderTheNumber) {
  using tavrin::screens::CBriskToSelfMsg;
  constexpr long kOwnPhone = 1900000001;  // 13900000001 as the engine numbers a phone
  CBriskToSelfMsg screen;
  inside_modal([&] {
    type(u"记得买牛奶");
    when_box_opens([&] { box_ok(); });
    tap_window(CBriskToSelfMsg::kSendButton.centre().x, CBriskToSelfMsg::kSendButton.centre().y);
    ASSERT_TRUE(pump_until([&] { return !screen.sending() && ws->modal_depth() == 1; }));
    EXPECT_EQ(screen.last_notice(), u"发送成功！");
    EXPECT_EQ(screen.delivery(), u"");
    const std::string row = query("SELECT id FROM outbox WHERE target='tel:13900000001'");
    EXPECT_EQ(http_get(server().nav(), "/sms/dlr?id=" + row + "&type=1"), 200);
    // What the main window does with a line from a number it does not list.
    EXPECT_TRUE(pump_until([&] {
      tavrin::screens::chat::let_go_unshown(kOwnPhone);
      return !screen.delivery().empty();
    }));
    EXPECT_EQ(screen.delivery(), u"短信已送达");
    EXPECT_EQ(golden("to_self_delivered"), "");
    tap_window(420, 695);
  });
  screen.run_modal();
  EXPECT_EQ(query("SELECT state FROM outbox WHERE target='tel:13900000001'"), "2");
}

TEST_F(GroupSmsStateTest, WithoutAGatewayTheSmsToAPhoneIsNotSent) {
  CBriskGroupMsg screen(0, 1);
  inside_modal([&] {
    tap_contact(screen, u"Mum");
    tap_contact(screen, u"Carol");
    type(u"到家了吗");
    tap_window(60, 695);
    EXPECT_TRUE(pump_until([&] { return screen.results().size() == 2 && settled(screen); }));
    tap_window(420, 695);
  });
  screen.run_modal();
  const std::vector<std::u16string> want = {u"对Mum发送失败:到家了吗", u"我对Carol说:到家了吗"};
  EXPECT_EQ(lines(screen), want);
  EXPECT_EQ(query("SELECT state FROM outbox WHERE phone='13800138000'"), "5");
}

}  // namespace
