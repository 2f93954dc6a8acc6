#include "kannel_gateway.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

namespace tavrin::test {

namespace {

constexpr const char* kBearerbox = "/usr/sbin/bearerbox";
constexpr const char* kSmsbox = "/usr/sbin/smsbox";
constexpr const char* kFakesmsc = "/usr/lib/kannel/test/fakesmsc";

// Free loopback ports, chosen together so that none repeats.
std::vector<int> free_ports(int n) {
  std::vector<int> fds, ports;
  for (int i = 0; i < n; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    fds.push_back(fd);
    ports.push_back(ntohs(a.sin_port));
  }
  for (int fd : fds) close(fd);
  return ports;
}

bool can_connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(port));
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

bool wait_for_port(int port, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (can_connect(port)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

// A program the gateway runs, its console quiet (its log goes to its file).
std::unique_ptr<ChildProcess> quiet(const std::string& program, const std::string& conf) {
  return std::make_unique<ChildProcess>(
      "/bin/sh", std::vector<std::string>{"-c", "exec " + program + " -v 4 " + conf +
                                                    " >/dev/null 2>&1"});
}

}  // namespace

std::string url_decode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i] == '+' ? ' ' : text[i];
    }
  }
  return out;
}

std::string url_encode(const std::string& bytes) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

std::string utf16be_to_utf8(const std::string& b) {
  std::string out;
  for (size_t i = 0; i + 1 < b.size(); i += 2) {
    uint32_t u = uint32_t(uint8_t(b[i])) << 8 | uint8_t(b[i + 1]);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < b.size()) {
      const uint32_t low = uint32_t(uint8_t(b[i + 2])) << 8 | uint8_t(b[i + 3]);
      u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    append_utf8(out, u);
  }
  return out;
}

std::string utf8_to_utf16be(const std::string& s) {
  std::string out;
  auto unit = [&](uint32_t u) {
    out += char(u >> 8);
    out += char(u & 0xFF);
  };
  for (size_t i = 0; i < s.size();) {
    const auto c = uint8_t(s[i]);
    const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (int k = 1; k < n; ++k) cp = cp << 6 | (uint8_t(s[i + k]) & 0x3F);
    i += n;
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

std::string KannelGateway::missing() {
  for (const char* p : {kBearerbox, kSmsbox, kFakesmsc})
    if (access(p, X_OK) != 0)
      return std::string(p) + " is missing (Debian packages kannel and kannel-extras)";
  return {};
}

KannelGateway::KannelGateway(std::string dir) : dir_(std::move(dir)) {
  const auto p = free_ports(5);
  admin_ = p[0];
  box_ = p[1];
  mt_ = p[2];
  mo_ = p[3];
  sendsms_ = p[4];
}

KannelGateway::~KannelGateway() {
  stop();
}

std::string KannelGateway::sendsms_url() const {
  return "http://127.0.0.1:" + std::to_string(sendsms_) + "/cgi-bin/sendsms";
}

bool KannelGateway::start(int callback_port) {
  const std::string conf = dir_ + "/kannel.conf";
  const std::string a = std::to_string(admin_), b = std::to_string(box_);
  std::ofstream(conf, std::ios::trunc)
      << "group = core\nadmin-port = " << a
      << "\nadmin-password = tavrin-admin\nadmin-interface = 127.0.0.1\nsmsbox-port = " << b
      << "\nbox-allow-ip = 127.0.0.1\nlog-file = \"" << dir_
      << "/bearerbox.log\"\nlog-level = 1\ndlr-storage = internal\n\n"
      << "group = smsc\nsmsc = fake\nsmsc-id = mt\nport = " << mt_
      << "\nconnect-allow-ip = 127.0.0.1\nallowed-smsc-id = mt\n\n"
      << "group = smsc\nsmsc = fake\nsmsc-id = mo\nport = " << mo_
      << "\nconnect-allow-ip = 127.0.0.1\nallowed-smsc-id = mo\n\n"
      << "group = smsbox\nbearerbox-host = 127.0.0.1\nbearerbox-port = " << b
      << "\nsendsms-port = " << sendsms_ << "\nsendsms-interface = 127.0.0.1\nlog-file = \""
      << dir_ << "/smsbox.log\"\nlog-level = 1\n\n"
      << "group = sendsms-user\nusername = " << kUser << "\npassword = " << kPassword
      << "\nconcatenation = true\nmax-messages = 10\nforced-smsc = mt\n\n"
      << "group = sms-service\nkeyword = default\ncatch-all = true\nmax-messages = 0\n"
      << "get-url = \"http://127.0.0.1:" << callback_port
      << "/sms/mo?from=%p&to=%P&text=%b&coding=%c&charset=%C\"\n";
  bearerbox_ = quiet(kBearerbox, conf);
  if (!wait_for_port(box_, std::chrono::seconds(20))) return false;
  smsbox_ = quiet(kSmsbox, conf);
  carrier_ = std::make_unique<ChildProcess>(
      kFakesmsc, std::vector<std::string>{"-H", "127.0.0.1", "-r", std::to_string(mt_), "-m", "0",
                                          "1 2 text unused"},
      std::vector<std::string>{}, true);
  return wait_for_port(sendsms_, std::chrono::seconds(20)) &&
         carrier_->read_until(
             [](const std::string& l) { return l.find("Connecting to") != std::string::npos; },
             std::chrono::seconds(20));
}

void KannelGateway::stop() {
  if (carrier_) transcript_ += carrier_->transcript();
  carrier_.reset();
  smsbox_.reset();
  bearerbox_.reset();
}

const std::string& KannelGateway::carrier_transcript() const {
  return carrier_ ? carrier_->transcript() : transcript_;
}

std::optional<KannelGateway::Sms> KannelGateway::next_sms(std::chrono::milliseconds limit) {
  if (!carrier_) return std::nullopt;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    const auto line = carrier_->read_line(left);
    if (!line) return std::nullopt;
    const size_t open = line->find("Got message");
    const size_t lt = line->find('<', open == std::string::npos ? 0 : open);
    const size_t gt = line->rfind('>');
    if (open == std::string::npos || lt == std::string::npos || gt == std::string::npos || gt < lt)
      continue;
    // "<FROM TO TYPE [UDH [KIND]] DATA>"
    std::istringstream in(line->substr(lt + 1, gt - lt - 1));
    Sms sms;
    std::string type, udh, kind, data;
    in >> sms.from >> sms.to >> type;
    if (type == "udh") in >> udh >> kind;
    std::getline(in >> std::ws, data);
    if (type == "text" || kind == "text") {
      sms.text = type == "text" ? data : url_decode(data);
    } else {
      sms.text = utf16be_to_utf8(url_decode(data));
    }
    const std::string head = url_decode(udh);
    if (head.size() >= 6 && head[1] == 0 && head[2] == 3) {
      const int total = uint8_t(head[4]), seq = uint8_t(head[5]);
      auto& p = parts_[sms.from + " " + sms.to + " " + std::to_string(uint8_t(head[3]))];
      p.resize(size_t(total));
      if (seq >= 1 && seq <= total) p[size_t(seq - 1)] = sms.text;
      bool whole = true;
      for (const auto& s : p) whole = whole && !s.empty();
      if (!whole) continue;
      sms.text.clear();
      for (const auto& s : p) sms.text += s;
      sms.parts = total;
      parts_.erase(sms.from + " " + sms.to + " " + std::to_string(uint8_t(head[3])));
      return sms;
    }
    sms.parts = 1;
    return sms;
  }
  return std::nullopt;
}

bool KannelGateway::from_phone(const std::string& from, const std::string& to,
                               const std::string& text) {
  ChildProcess phone(kFakesmsc,
                     {"-H", "127.0.0.1", "-r", std::to_string(mo_), "-m", "1", "-i", "0.01",
                      from + " " + to + " ucs2 " + url_encode(utf8_to_utf16be(text))},
                     {}, true);
  const bool sent = phone.read_until(
      [](const std::string& l) { return l.find("sent message 1") != std::string::npos; },
      std::chrono::seconds(20))
                        .has_value();
  // Gone before the next one: the carrier link takes one client at a time.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return sent;
}

}  // namespace tavrin::test
