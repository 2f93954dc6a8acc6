#include "account_sync.h"

#include "chat_relay.h"
#include "log.h"
#include "presence_hub.h"
#include "sipc_message.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

std::string AccountSync::handleLine(const std::string& line) {
  if (line == "ping") return "ok";
  const std::string prefix = "account ";
  long number = 0;
  if (line.rfind(prefix, 0) != 0 || !parseLong(line.substr(prefix.size()), number) ||
      !isTavrinNumber(number))
    return "error unknown command";
  changed(number);
  return "ok";
}

void AccountSync::changed(long number) {
  const auto account = s_.store().account(number);
  SipcConnection* c = s_.online(number);
  if (account && !account->disabled) {
    logAt(1, "account %ld changed by the operator", number);
    return;
  }
  if (!account) {
    // Its friends who are signed in see it go; the others find it gone
    // from their list at their next login.
    logAt(1, "account %ld removed by the operator", number);
    const std::string body =
        "<events><event type=\"UpdateBuddy\"><contacts><buddies><buddy uri=\"" +
        xmlEscape(s_.uriOf(number)) + "\" relation-status=\"2\" /></buddies></contacts></event></events>";
    for (SipcConnection* w : s_.presence().watchersOf(number))
      if (w->session.registered && w->session.number != number)
        s_.request(*w, "BN", w->session.regCallId, {{"N", "contact"}}, body);
    s_.presence().forget(number);
  } else {
    logAt(1, "account %ld disabled by the operator", number);
  }
  if (c) endSession(*c);
  if (!account) {
    // What the session's end kept for it, and anything written meanwhile.
    s_.chat().dropOffline(number);
    s_.store().removeAccount(number);
  }
}

void AccountSync::endSession(SipcConnection& c) {
  Session& ss = c.session;
  const long number = ss.number;
  s_.request(c, "BN", ss.regCallId, {{"N", "registration"}},
             "<events><event type=\"deregistered\" reason=\"account-disabled\" /></events>");
  s_.presence().dropWatcher(c);
  s_.chat().dropSession(c);
  ss.registered = false;
  if (s_.online(number) == &c) {
    s_.setOnline(number, nullptr);
    s_.presence().announce(number, PresenceHub::kBasic);
  }
  c.closeAfterFlush();
  logAt(1, "conn %llu: session of %ld ended by the operator", (unsigned long long)c.id(), number);
}

}  // namespace tavrin::server
