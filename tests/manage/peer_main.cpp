// manage_peer: a second engine in its own process, for the tests that need
// two signed-in accounts. Usage: manage_peer HOST:PORT ID PASSWORD.
// It logs in and prints one line per engine message ("MSG code p1 p2", for
// 93 "REQ description uri"); it prints "READY" after the login and reads
// commands from standard input:
//   accept URI GROUP NAME   fx_handleContactRequest(URI, 1, GROUP, NAME)
//   info ID                 "INFO ID status relation nickname|impresa|days"
//   quit
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "libtavrin.h"

namespace {

std::mutex g_out;  // one line at a time on stdout

void say(const std::string& line) {
  std::lock_guard lock(g_out);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void on_message(int code, intptr_t p1, intptr_t p2, void*) {
  if (code == FX_MSG_CONTACT_REQUEST) {
    auto* desc = reinterpret_cast<char*>(p1);
    auto* uri = reinterpret_cast<char*>(p2);
    say(std::string("REQ ") + (desc ? desc : "") + " " + (uri ? uri : ""));
    std::free(desc);
    std::free(uri);
    return;
  }
  say("MSG " + std::to_string(code) + " " + std::to_string(p1) + " " + std::to_string(p2));
}

std::string text(const char* s) {
  return s ? s : "";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || fx_init() != 1) return 2;
  fx_set_serve_address(argv[1]);
  if (fs_login(argv[2], argv[3]) != 1) {
    say("LOGIN-FAILED");
    fx_terminate();
    return 1;
  }
  fx_set_system_msg_cb(on_message, nullptr);
  say("READY");
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    if (cmd == "quit") break;
    if (cmd == "accept") {
      std::string uri, name;
      int group = 0;
      in >> uri >> group >> name;
      say("ACCEPTED " +
          std::to_string(fx_handleContactRequest(uri.c_str(), 1, group, name.c_str())));
    } else if (cmd == "info") {
      long id = 0;
      in >> id;
      fx_lock_contacts();
      const fx_account* a = fx_get_account_by_id(id);
      std::string out = "INFO " + std::to_string(id);
      if (a == nullptr) {
        out += " none";
      } else {
        const fx_personal_info* p = a->personal_info;
        out += " " + std::to_string(fx_get_online_status_by_account(a)) + " " +
               std::to_string(a->relation_status) + " " + text(p ? p->nickname : nullptr) + "|" +
               text(p ? p->impresa : nullptr) + "|" + std::to_string(p ? p->refuse_sms_day : 0);
      }
      fx_unlock_contacts();
      say(out);
    }
  }
  fx_set_system_msg_cb(nullptr, nullptr);
  fx_loginout();
  fx_terminate();
  return 0;
}
