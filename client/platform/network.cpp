#include "platform/network.h"

#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace tavrin::platform {
namespace {

std::mutex g_mutex;
std::set<uint64_t> g_open;  // guarded by g_mutex
uint64_t g_next = 1;        // guarded by g_mutex

std::string read_file(const char* path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

bool Network::has_route(Destination d, std::string_view v4, std::string_view v6) {
  // IPv4: "Iface Destination Gateway Flags ..." with a header line; flag 1
  // is "up". IPv6: "dest prefixlen src srcprefix nexthop metric ref use flags iface".
  std::istringstream in4{std::string(v4)};
  std::string line;
  std::getline(in4, line);  // header
  while (std::getline(in4, line)) {
    std::istringstream f(line);
    std::string iface, dest, gw, flags_hex;
    if (!(f >> iface >> dest >> gw >> flags_hex)) continue;
    unsigned flags = 0;
    try {
      flags = unsigned(std::stoul(flags_hex, nullptr, 16));
    } catch (...) {
      continue;
    }
    if (!(flags & 1) || iface == "lo") continue;
    if (d == Destination::kWork || dest == "00000000") return true;
  }
  std::istringstream in6{std::string(v6)};
  while (std::getline(in6, line)) {
    std::istringstream f(line);
    std::string dest, plen, src, splen, hop, metric, ref, use, flags_hex, iface;
    if (!(f >> dest >> plen >> src >> splen >> hop >> metric >> ref >> use >> flags_hex >> iface))
      continue;
    unsigned flags = 0;
    try {
      flags = unsigned(std::stoul(flags_hex, nullptr, 16));
    } catch (...) {
      continue;
    }
    // 0x200 marks a reject route (the unreachable defaults of an unplugged host).
    if (!(flags & 1) || (flags & 0x200) || iface == "lo") continue;
    if (d == Destination::kWork || (plen == "00" && dest == std::string(32, '0'))) return true;
  }
  return false;
}

bool Network::has_route(Destination d) {
  return has_route(d, read_file("/proc/net/route"), read_file("/proc/net/ipv6_route"));
}

uint64_t Network::connect(Destination d, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!has_route(d)) {
    if (std::chrono::steady_clock::now() >= deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::lock_guard lock(g_mutex);
  const uint64_t handle = g_next++;
  g_open.insert(handle);
  return handle;
}

void Network::release(uint64_t handle) {
  std::lock_guard lock(g_mutex);
  g_open.erase(handle);
}

int Network::open_connections() {
  std::lock_guard lock(g_mutex);
  return int(g_open.size());
}

}  // namespace tavrin::platform
