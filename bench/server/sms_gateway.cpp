// SMS per second to phones: tavrin-cli -> tavrin-server -> Debian's SMS
// gateway (bearerbox + smsbox) -> fakesmsc as the carrier, beside the same
// gateway driven through its own sendsms interface alone, in the same run
// and on the same gateway. An end-to-end program (not run by tests),
// bounded in count and time.
//
// Phase "gateway alone": --sms SMS sent with --conns concurrent HTTP GETs
// of sendsms (one connection each, as the server makes them), each asking
// for delivery reports as the server's do (to a sink that answers 200). Phase
// "through tavrin": Alice's tavrin-cli sends the same number with
// "sms-mobile". Each phase's time runs from the first send to the carrier's
// receipt of the last SMS. The goal is a ratio of at least 0.8.
//
//   bench_sms_gateway [--sms 1000] [--conns 16] [--rounds 3] [--limit-s 120]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "kannel_gateway.h"

using namespace tavrin::test;
using Clock = std::chrono::steady_clock;

namespace {

int gSms = 1000, gConns = 16, gLimitS = 120, gRounds = 3;

std::string loadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  in >> a >> b >> c;
  return a + " " + b + " " + c;
}

int httpGet(int port, const std::string& target) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  const std::string req = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  (void)!write(fd, req.data(), req.size());
  std::string in;
  char buf[1024];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) {
    in.append(buf, size_t(n));
    if (in.find("\r\n\r\n") != std::string::npos && in.find("Accepted") != std::string::npos) break;
  }
  close(fd);
  return in.size() > 12 ? std::atoi(in.c_str() + 9) : -1;
}

// Takes the gateway's delivery reports for the gateway-alone phase and
// answers each 200, as tavrin-server does.
class ReportSink {
 public:
  ReportSink() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd_, 128);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      for (int c; (c = accept(fd_, nullptr, nullptr)) >= 0;) {
        char buf[4096];
        std::string in;
        for (ssize_t n; in.find("\r\n\r\n") == std::string::npos &&
                        (n = read(c, buf, sizeof buf)) > 0;)
          in.append(buf, size_t(n));
        static const char ok[] = "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n";
        (void)!write(c, ok, sizeof ok - 1);
        close(c);
        ++reports_;
      }
    });
  }
  ~ReportSink() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    thread_.join();
  }
  int port() const { return port_; }
  // Waits until n reports came in all, within the limit.
  bool wait_for(int n) {
    const auto end = Clock::now() + std::chrono::seconds(gLimitS);
    while (reports_ < n && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return reports_ >= n;
  }

 private:
  std::atomic<int> reports_{0};
  int fd_ = -1, port_ = 0;
  std::thread thread_;
};

std::string text(int i) {
  return "压力测试 " + std::to_string(i);
}

// Waits until the carrier got n SMS; the seconds from start, or -1.
double receive(KannelGateway& k, int n, Clock::time_point start) {
  const auto end = start + std::chrono::seconds(gLimitS);
  int got = 0;
  while (got < n && Clock::now() < end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (!k.next_sms(left)) break;
    ++got;
  }
  if (got < n) {
    std::fprintf(stderr, "only %d of %d SMS reached the carrier in %d s\n", got, n, gLimitS);
    return -1;
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double gatewayAlone(KannelGateway& k, const std::string& dlr) {
  const auto start = Clock::now();
  std::atomic<int> next{0}, failed{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < gConns; ++t)
    senders.emplace_back([&] {
      for (int i; (i = next++) < gSms;) {
        const std::string target = "/cgi-bin/sendsms?username=" + std::string(KannelGateway::kUser) +
                                   "&password=" + KannelGateway::kPassword +
                                   "&from=13900000001&to=13800138000&charset=UTF-8&coding=2&text=" +
                                   url_encode(text(i)) + dlr;
        if (httpGet(k.sendsms_port(), target) / 100 != 2) ++failed;
      }
    });
  const double s = receive(k, gSms - 0, start);
  for (auto& t : senders) t.join();
  if (failed > 0) std::fprintf(stderr, "%d sendsms requests failed\n", failed.load());
  return s;
}

// Alice sends --sms SMS; the seconds until the carrier got them, and
// until her client got every delivery report.
double throughTavrin(KannelGateway& k, const std::string& dir, int round, double& reported) {
  std::ofstream(dir + "/pw") << KannelGateway::kPassword << "\n";
  ChildProcess server(TAVRIN_SERVER_BIN,
                      {"--data", dir + "/data" + std::to_string(round), "--demo", "--nav-port", "0", "--sipc-port", "0",
                       "--no-signin", "--sms-daily-limit", std::to_string(gSms + 10),
                       "--sms-gateway", k.sendsms_url(), "--sms-gateway-user",
                       KannelGateway::kUser, "--sms-gateway-password-file", dir + "/pw"});
  const auto line = server.read_until(
      [](const std::string& l) { return l.find("listening") != std::string::npos; },
      std::chrono::seconds(30));
  std::smatch m;
  if (!line || !std::regex_search(*line, m, std::regex("sipc=([0-9]+)"))) return -1;
  // Alice's output goes to a file, read as it grows: a pipe the bench did
  // not drain while sending would stop her client.
  const std::string out = dir + "/alice" + std::to_string(round) + ".out";
  ChildProcess alice("/bin/sh", {"-c", std::string("exec ") + TAVRIN_CLI_BIN +
                                           " --server 127.0.0.1:" + m[1].str() +
                                           " --user 100000001 --password alice123 --json > " + out});
  // Lines of the output that satisfy match, waited for until n or the limit.
  const auto count = [&](const char* prefix, const char* part, int n) {
    const auto end = Clock::now() + std::chrono::seconds(gLimitS);
    for (;;) {
      std::ifstream in(out);
      int got = 0;
      for (std::string l; std::getline(in, l);)
        got += l.rfind(prefix, 0) == 0 && l.find(part) != std::string::npos;
      if (got >= n || Clock::now() > end) return got >= n;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  };
  if (!count("{\"code\":14,", "", 1)) return -1;
  const auto start = Clock::now();
  for (int i = 0; i < gSms; ++i) alice.write_line("sms-mobile 13800138000 " + text(i));
  const double s = receive(k, gSms, start);
  const bool all = count("{\"code\":16,", "短信已送达", gSms);
  reported = all ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--sms")) gSms = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--conns")) gConns = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--limit-s")) gLimitS = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--rounds")) gRounds = std::atoi(argv[i + 1]);
  }
  if (const std::string why = KannelGateway::missing(); !why.empty()) {
    std::fprintf(stderr, "bench_sms_gateway: %s\n", why.c_str());
    return 2;
  }
  std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-sms-bench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 1;
  const std::string dir = tmpl;
  std::filesystem::create_directory(dir + "/kannel");
  bool ok = true;
  {
    KannelGateway k(dir + "/kannel");
    // The gateway alone needs no callback for messages from phones.
    if (!k.start(1)) {
      std::fprintf(stderr, "bench_sms_gateway: the gateway did not start\n");
      return 1;
    }
    std::printf("%d SMS a phase, %d sendsms connections; load average at start: %s\n", gSms,
                gConns, loadAverage().c_str());
    std::printf("round  gateway alone SMS/s  through tavrin SMS/s  ratio  all reports at sender\n");
    // Both sides ask for delivery reports: the gateway's work per SMS is the same.
    ReportSink sink;
    const std::string dlr =
        "&dlr-mask=19&dlr-url=" +
        url_encode("http://127.0.0.1:" + std::to_string(sink.port()) + "/dlr?type=%d");
    for (int round = 1; round <= gRounds && ok; ++round) {
      const double alone = gatewayAlone(k, dlr);
      // The next phase starts once the gateway is idle again.
      ok = alone > 0 && sink.wait_for(round * gSms);
      double reported = -1;
      const double tavrin = ok ? throughTavrin(k, dir, round, reported) : -1;
      ok = ok && tavrin > 0;
      if (!ok) break;
      std::printf("%5d  %19.1f  %20.1f  %4.2fx  %.2f s\n", round, gSms / alone, gSms / tavrin,
                  alone / tavrin, reported);
    }
  }
  std::filesystem::remove_all(dir);
  if (!ok) return 1;
  std::printf("goal: a ratio of 0.80x or more\n");
  std::printf("load average at end: %s (a shared machine: figures are indicative)\n",
              loadAverage().c_str());
  return 0;
}
