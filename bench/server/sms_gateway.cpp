// SMS per second to phones: tavrin-cli -> tavrin-server -> Debian's SMS
// gateway (bearerbox + smsbox) -> fakesmsc as the carrier, beside the same
// gateway driven through its own sendsms interface alone, in the same run
// and on the same gateway. An end-to-end program (not run by tests),
// bounded in count and time.
//
// Phase "gateway alone": --sms SMS sent with --conns concurrent HTTP GETs
// of sendsms (one connection each, as the server makes them). Phase
// "through tavrin": Alice's tavrin-cli sends the same number with
// "sms-mobile". Each phase's time runs from the first send to the carrier's
// receipt of the last SMS. The goal is a ratio of at least 0.8.
//
//   bench_sms_gateway [--sms 1000] [--conns 16] [--limit-s 120]
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

int gSms = 1000, gConns = 16, gLimitS = 120;

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

double gatewayAlone(KannelGateway& k) {
  const auto start = Clock::now();
  std::atomic<int> next{0}, failed{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < gConns; ++t)
    senders.emplace_back([&] {
      for (int i; (i = next++) < gSms;) {
        const std::string target = "/cgi-bin/sendsms?username=" + std::string(KannelGateway::kUser) +
                                   "&password=" + KannelGateway::kPassword +
                                   "&from=13900000001&to=13800138000&charset=UTF-8&coding=2&text=" +
                                   url_encode(text(i));
        if (httpGet(k.sendsms_port(), target) / 100 != 2) ++failed;
      }
    });
  const double s = receive(k, gSms - 0, start);
  for (auto& t : senders) t.join();
  if (failed > 0) std::fprintf(stderr, "%d sendsms requests failed\n", failed.load());
  return s;
}

double throughTavrin(KannelGateway& k, const std::string& dir) {
  std::ofstream(dir + "/pw") << KannelGateway::kPassword << "\n";
  ChildProcess server(TAVRIN_SERVER_BIN,
                      {"--data", dir + "/data", "--demo", "--nav-port", "0", "--sipc-port", "0",
                       "--no-signin", "--sms-daily-limit", std::to_string(gSms + 10),
                       "--sms-gateway", k.sendsms_url(), "--sms-gateway-user",
                       KannelGateway::kUser, "--sms-gateway-password-file", dir + "/pw"});
  const auto line = server.read_until(
      [](const std::string& l) { return l.find("listening") != std::string::npos; },
      std::chrono::seconds(30));
  std::smatch m;
  if (!line || !std::regex_search(*line, m, std::regex("sipc=([0-9]+)"))) return -1;
  ChildProcess alice(TAVRIN_CLI_BIN, {"--server", "127.0.0.1:" + m[1].str(), "--user",
                                      "100000001", "--password", "alice123", "--json"});
  if (!alice.read_until([](const std::string& l) { return l.rfind("{\"code\":14,", 0) == 0; },
                        std::chrono::seconds(30)))
    return -1;
  const auto start = Clock::now();
  for (int i = 0; i < gSms; ++i) alice.write_line("sms-mobile 13800138000 " + text(i));
  return receive(k, gSms, start);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--sms")) gSms = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--conns")) gConns = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--limit-s")) gLimitS = std::atoi(argv[i + 1]);
  }
  if (const std::string why = KannelGateway::missing(); !why.empty()) {
    std::fprintf(stderr, "bench_sms_gateway: %s\n", why.c_str());
    return 2;
  }
  std::string tmpl = (std::filesystem::temp_directory_path() / "tavrin-sms-bench-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return 1;
  const std::string dir = tmpl;
  std::filesystem::create_directory(dir + "/kannel");
  double alone = -1, tavrin = -1;
  {
    KannelGateway k(dir + "/kannel");
    // The gateway alone needs no callback; the server's nav port is not known yet.
    if (!k.start(1)) {
      std::fprintf(stderr, "bench_sms_gateway: the gateway did not start\n");
      return 1;
    }
    std::printf("load average at start: %s\n", loadAverage().c_str());
    alone = gatewayAlone(k);
    tavrin = throughTavrin(k, dir);
  }
  std::filesystem::remove_all(dir);
  if (alone <= 0 || tavrin <= 0) return 1;
  const double a = gSms / alone, t = gSms / tavrin;
  std::printf("%d SMS, %d sendsms connections\n", gSms, gConns);
  std::printf("gateway alone:   %8.1f SMS/s (%.2f s)\n", a, alone);
  std::printf("through tavrin:  %8.1f SMS/s (%.2f s)\n", t, tavrin);
  std::printf("ratio:           %8.2fx (goal 0.80x)\n", t / a);
  std::printf("load average at end: %s (a shared machine: figures are indicative)\n",
              loadAverage().c_str());
  return 0;
}
