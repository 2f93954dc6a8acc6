#include "registrar.h"

#include <arpa/inet.h>

#include <ctime>

#include "chat_relay.h"
#include "contact_commands.h"
#include "digest.h"
#include "log.h"
#include "metrics.h"
#include "presence_hub.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

int presenceFromRegistrationBody(std::string_view body) {
  auto doc = parseXml(body);
  long value = 400;
  if (doc) {
    const TiXmlElement* basic = xmlPath(doc.get(), {"args", "presence", "basic"});
    if (basic && !xmlIntAttr(basic, "value", value)) value = 400;
  }
  return int(value);
}

namespace {

std::string dotted(uint32_t address) {
  in_addr a{htonl(address)};
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

long wholeSeconds(LoginThrottle::Clock::duration d) {
  return long(std::chrono::ceil<std::chrono::seconds>(d).count());
}

}  // namespace

Registrar::Registrar(SipcService& s)
    : s_(s),
      goneLeft_(s.options().testGoneRegistrations),
      dropLeft_(s.options().testDropRegistrations) {}

void Registrar::handle(SipcConnection& c, const SipcMessage& m) {
  Session& ss = c.session;
  std::string_view expires = m.headerOr("X");
  if (!ss.registered && m.seq == 1 && dropLeft_ > 0) {
    --dropLeft_;
    logAt(1, "conn %llu: dropped at registration (test switch)", (unsigned long long)c.id());
    c.close();
    return;
  }
  if (ss.registered) {
    long x = -1;
    if (!expires.empty() && parseLong(expires, x) && x == 0) {
      s_.reply(c, m, 200, "OK", {}, {{"X", "0"}});
      logAt(1, "conn %llu: %ld logged out", (unsigned long long)c.id(), ss.number);
      signOut(c);
      c.closeAfterFlush();
      return;
    }
    // Keep-alive (or a repeated registration): refresh the lifetime.
    if (s_.options().testEndOnKeepalive) {
      s_.reply(c, m, 200, "OK", {}, {{"X", "0"}});
      return;
    }
    s_.reply(c, m, 200, "OK", {}, {{"X", std::to_string(s_.options().expires)}});
    return;
  }
  long number = 0;
  std::string_view from = m.headerOr("F");
  // Only an id that cannot be an account at all is refused at once; one
  // without an account goes through the challenge and fails as a wrong
  // password would, so the answers never tell which accounts exist.
  if (!parseLong(from, number) || !isTavrinNumber(number)) {
    logAt(1, "conn %llu: registration of unusable id '%.*s'", (unsigned long long)c.id(),
          int(from.size()), from.data());
    s_.reply(c, m, 404, "Not Found");
    return;
  }
  if (!m.header("A") || ss.nonce.empty()) {
    challenge(c, m);
    return;
  }
  if (goneLeft_ > 0) {
    --goneLeft_;
    ss.nonce.clear();
    s_.reply(c, m, 410, "Gone");
    return;
  }
  const auto now = LoginThrottle::Clock::now();
  recallAddress(number, s_.peerAddressOf(c));
  if (auto wait = throttle_.lockedFor(number, s_.peerAddressOf(c), now);
      wait > LoginThrottle::Clock::duration::zero()) {
    ss.nonce.clear();
    logAt(1, "conn %llu: login of %ld refused, locked for %lds more", (unsigned long long)c.id(),
          number, wholeSeconds(wait));
    s_.reply(c, m, 403, "Too Many Attempts");
    return;
  }
  verify(c, m, number);
}

void Registrar::recallAddress(long number, uint32_t address) {
  if (throttle_.known(number, address)) return;
  // Known addresses outlive a restart: the owner is not locked out by
  // strangers just because the server started again.
  Stmt& q = s_.store().db().sql("SELECT 1 FROM login_addresses WHERE account=? AND address=?");
  q.bind(1, number).bind(2, (long long)address);
  const bool seen = q.step();
  q.reset();
  if (seen) throttle_.remember(number, address);
}

void Registrar::keepAddress(long number, uint32_t address) {
  try {
    Db& db = s_.store().db();
    db.sql("INSERT OR REPLACE INTO login_addresses(account, address, at) VALUES(?,?,?)")
        .bind(1, number)
        .bind(2, (long long)address)
        .bind(3, (long long)std::time(nullptr))
        .run();
    db.sql("DELETE FROM login_addresses WHERE account=? AND address NOT IN (SELECT address FROM "
           "login_addresses WHERE account=? ORDER BY at DESC LIMIT ?)")
        .bind(1, number)
        .bind(2, number)
        .bind(3, (long long)LoginThrottle::kKnownAddresses)
        .run();
  } catch (const DbError& e) {
    // Remembered in memory all the same; only a restart forgets it.
    logAt(0, "login: address of %ld not kept: %s", number, e.what());
  }
}

void Registrar::challenge(SipcConnection& c, const SipcMessage& m) {
  c.session.nonce = newNonce();
  c.session.regCallId = m.callId;
  std::string w = "Digest algorithm=\"MD5-sess;SHA1-sess\",nonce=\"" + c.session.nonce + "\"";
  s_.reply(c, m, 401, "Unauthorized", {}, {{"W", w}});
}

void Registrar::verify(SipcConnection& c, const SipcMessage& m, long number) {
  Session& ss = c.session;
  std::string response, cnonce;
  const std::string_view a = m.headerOr("A");
  if (!quotedParam(a, "response", response) || !quotedParam(a, "cnonce", cnonce) ||
      response.size() != 32) {
    s_.reply(c, m, 400, "Bad Request");
    return;
  }
  auto account = s_.store().account(number);
  // The same work for an id without an account: a key that matches no answer.
  const std::string noKey(32, '0');
  std::string expected = digestResponse(account ? std::string_view(account->keyHex) : std::string_view(noKey),
                                        std::to_string(number), ss.nonce, cnonce);
  ss.nonce.clear();  // one answer per challenge
  if (!account || expected.empty() || !equalsNoCase(expected, response)) {
    logAt(1, "conn %llu: wrong password for %ld%s", (unsigned long long)c.id(), number,
          account ? "" : " (no such account)");
    ++metrics().loginFailures;
    const uint32_t address = s_.peerAddressOf(c);
    if (auto lock = throttle_.failed(number, address, LoginThrottle::Clock::now());
        lock > LoginThrottle::Clock::duration::zero()) {
      ++metrics().loginLocks;
      logAt(0, "login: repeated wrong passwords for %ld from %s, locked for %lds", number,
            dotted(address).c_str(), wholeSeconds(lock));
    }
    s_.reply(c, m, 401, "Unauthorized");
    return;
  }
  if (account->disabled) {
    // Only the right password learns that the operator disabled the account.
    logAt(1, "conn %llu: login of disabled account %ld refused", (unsigned long long)c.id(),
          number);
    s_.reply(c, m, 403, "Account Locked");
    return;
  }
  // Logged in elsewhere: the older connection is told and dropped.
  if (SipcConnection* old = s_.online(number); old && old != &c) {
    logAt(1, "conn %llu: %ld logged in elsewhere", (unsigned long long)old->id(), number);
    s_.request(*old, "BN", old->session.regCallId, {{"N", "registration"}},
               "<events><event type=\"deregistered\" /></events>");
    s_.presence().dropWatcher(*old);
    s_.chat().dropSession(*old);
    old->session.registered = false;
    old->session.number = 0;
    old->closeAfterFlush();
  }
  throttle_.succeeded(number, s_.peerAddressOf(c));
  keepAddress(number, s_.peerAddressOf(c));
  ss.registered = true;
  s_.markRegistered(c);
  ss.number = number;
  ss.uri = s_.uriOf(number);
  ss.regCallId = m.callId;
  ss.presence = presenceFromRegistrationBody(m.body);
  s_.setOnline(number, &c);
  logAt(1, "conn %llu: %ld registered (presence %d)", (unsigned long long)c.id(), number,
        ss.presence);
  s_.reply(c, m, 200, "OK", {}, {{"X", std::to_string(s_.options().expires)}});
  s_.presence().announce(number, PresenceHub::kAll);
  s_.contacts().deliverPending(c);
}

void Registrar::signOut(SipcConnection& c) {
  Session& ss = c.session;
  if (!ss.registered) return;
  long number = ss.number;
  s_.presence().dropWatcher(c);
  s_.chat().dropSession(c);
  ss.registered = false;
  if (s_.online(number) == &c) {
    s_.setOnline(number, nullptr);
    s_.presence().announce(number, PresenceHub::kBasic);
  }
}

void Registrar::onClosed(SipcConnection& c) {
  signOut(c);
}

}  // namespace tavrin::server
