// tavrin_im_peer: a second engine in its own process (the engine keeps one
// global state per process), driven line by line on stdin. Replies start
// with "ok" or "msg"/"none"; the engine's messages to the system callback
// are printed as "ev CODE P2 [TEXT]" (TEXT: the line of 16/17, or the text
// of a send result's record, which the peer frees when it is handed over).
//
//   login ID PASSWORD HOST:PORT   fx_login, waiting for 14  -> ok RESULT
//   send ID TEXT                  fx_dialog_send            -> ok RESULT
//   sendt ID TEXT                 as send, with the clock   -> ok RESULT NANOSECONDS
//   flood ID N                    N lines "F0".."F<N-1>" as fast as the
//                                 engine takes them (a refused line is
//                                 retried)                  -> ok N
//   get ID                        fx_get_msg                -> msg TEXT | none
//   nudge ID / end ID / begin ID  fx_send_nudge / fx_end_dialog / fs_begin_dialog
//   quiet                         stop printing send results (floods)
//   logout                        fx_loginout               -> ok 1
//   quit
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "libtavrin.h"

namespace {

std::mutex g_out;  // one line at a time on stdout
std::atomic<bool> g_quiet{false};

void print(const std::string& line) {
  std::lock_guard lock(g_out);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool hands_over(int code) {
  switch (code) {
    case 32:
    case 33:
    case 36:
    case 52:
    case 53:
    case 148:
    case 150:
    case 151:
    case 153:
    case 154:
      return true;
    default:
      return false;
  }
}

bool carries_record(int code) {
  return hands_over(code) || code == 34 || code == 54 || code == 149 || code == 152;
}

void on_message(int code, intptr_t p1, intptr_t p2, void*) {
  if (code == 93) {  // a contact request: both texts pass to the receiver
    std::free(reinterpret_cast<void*>(p1));
    std::free(reinterpret_cast<void*>(p2));
    return;
  }
  std::string line = "ev " + std::to_string(code) + " " + std::to_string(p2);
  if ((code == 16 || code == 17) && p1)
    line += " " + std::string(reinterpret_cast<const char*>(p1));
  if (carries_record(code) && p1) {
    auto* m = reinterpret_cast<fx_msg*>(p1);
    line += " " + std::string(m->text ? m->text : "");
    if (hands_over(code)) fx_destroy_msg(m);
  }
  if (!(g_quiet && carries_record(code))) print(line);
}

// The login's own callback: fs_login would drop the contact request (93)
// that the login passes on, and its texts with it.
std::atomic<int> g_login_code{0};
void on_login(int code, intptr_t p1, intptr_t p2, void* user) {
  switch (code) {
    case 4:
    case 5:
    case 6:
    case 7:
    case 10:
    case 14:
    case 146:
    case 241:
      g_login_code = code;
      break;
    default:
      on_message(code, p1, p2, user);
  }
}

long long now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main() {
  if (fx_init() != 1) return 1;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    long id = 0;
    in >> cmd;
    if (cmd == "quit") break;
    if (cmd == "login") {
      std::string uid, pw, addr;
      in >> uid >> pw >> addr;
      fx_set_serve_address(addr.c_str());
      g_login_code = 0;
      fx_set_system_msg_cb(nullptr, nullptr);
      int r = fx_login(uid.c_str(), pw.c_str(), on_login, nullptr);
      for (int i = 0; r && g_login_code == 0 && i < 6000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      r = r && g_login_code == 14;
      if (r) fx_set_system_msg_cb(on_message, nullptr);
      print("ok " + std::to_string(r));
      continue;
    }
    if (cmd == "quiet") {
      g_quiet = true;
      print("ok 1");
      continue;
    }
    if (cmd == "logout") {
      fx_loginout();
      print("ok 1");
      continue;
    }
    in >> id;
    std::string text;
    std::getline(in >> std::ws, text);
    if (cmd == "send") {
      print("ok " + std::to_string(fx_dialog_send(id, text.c_str(), nullptr, nullptr)));
    } else if (cmd == "sendt") {
      const long long t = now_ns();
      const int r = fx_dialog_send(id, text.c_str(), nullptr, nullptr);
      print("ok " + std::to_string(r) + " " + std::to_string(t));
    } else if (cmd == "flood") {
      const long n = std::atol(text.c_str());
      for (long i = 0; i < n; ++i) {
        const std::string l = "F" + std::to_string(i);
        while (fx_dialog_send(id, l.c_str(), nullptr, nullptr) == 0)
          std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
      print("ok " + std::to_string(n));
    } else if (cmd == "get") {
      fx_msg* m = fx_get_msg(id);
      print(m ? "msg " + std::string(m->text ? m->text : "") : "none");
      fx_destroy_msg(m);
    } else if (cmd == "nudge") {
      print("ok " + std::to_string(fx_send_nudge(id)));
    } else if (cmd == "end") {
      print("ok " + std::to_string(fx_end_dialog(id)));
    } else if (cmd == "begin") {
      print("ok " + std::to_string(fs_begin_dialog(id)));
    } else {
      print("ok 0");
    }
  }
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_terminate();
  return 0;
}
