#include "presence_hub.h"

#include <vector>

#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr size_t kMaxWatched = 20000;  // contacts one connection may watch

std::string smsDays(long days) {
  return days > 0 ? std::to_string(days) + ".00:00:00" : std::string("00:00:00");
}
}  // namespace

int PresenceHub::visiblePresence(long number) const {
  SipcConnection* c = s_.online(number);
  if (c) return c->session.presence;
  auto a = const_cast<SipcService&>(s_).store().account(number);
  return (a && a->echo) ? 400 : 0;
}

std::string PresenceHub::presenceElement(long number, int parts, bool self) {
  auto a = s_.store().account(number);
  if (!a) return {};
  std::string e = "<presence uri=\"" + xmlEscape(s_.uriOf(number)) + "\">";
  (void)self;  // the user hears their own changes too: the echo confirms a status
  if (parts & kBasic)
    e += "<basic value=\"" + std::to_string(visiblePresence(number)) + "\" device-type=\"PC\" />";
  if (parts & kPersonal)
    e += "<personal nickname=\"" + xmlEscape(a->nickname) + "\" impresa=\"" +
         xmlEscape(a->impresa) + "\" portrait-crc=\"0\" />";
  if (parts & kSms) e += "<extended type=\"sms\">" + smsDays(a->refuseSmsDays) + "</extended>";
  e += "</presence>";
  return e;
}

void PresenceHub::sendEvents(SipcConnection& c, const std::string& events) {
  if (c.session.presenceCallId == 0) return;
  s_.request(c, "BN", c.session.presenceCallId, {{"N", "presence"}}, events);
}

void PresenceHub::announce(long number, int parts) {
  auto it = watchers_.find(number);
  if (it == watchers_.end() || it->second.empty()) return;
  std::string element = presenceElement(number, parts, false);
  if (element.empty()) return;
  std::string events = "<events><event type=\"PresenceChanged\">" + element + "</event></events>";
  std::vector<SipcConnection*> targets(it->second.begin(), it->second.end());
  for (SipcConnection* w : targets) sendEvents(*w, events);
}

void PresenceHub::dropWatcher(SipcConnection& c) {
  for (long n : c.session.watching) {
    auto it = watchers_.find(n);
    if (it == watchers_.end()) continue;
    it->second.erase(&c);
    if (it->second.empty()) watchers_.erase(it);
  }
  c.session.watching.clear();
  c.session.presenceCallId = 0;
}

std::vector<SipcConnection*> PresenceHub::watchersOf(long number) const {
  auto it = watchers_.find(number);
  if (it == watchers_.end()) return {};
  return {it->second.begin(), it->second.end()};
}

void PresenceHub::forget(long number) {
  auto it = watchers_.find(number);
  if (it == watchers_.end()) return;
  const std::string events = "<events><event type=\"PresenceChanged\"><presence uri=\"" +
                             xmlEscape(s_.uriOf(number)) +
                             "\"><basic value=\"0\" device-type=\"PC\" /></presence></event></events>";
  std::vector<SipcConnection*> targets(it->second.begin(), it->second.end());
  watchers_.erase(it);
  for (SipcConnection* w : targets) {
    w->session.watching.erase(number);
    sendEvents(*w, events);
  }
}

void PresenceHub::watch(SipcConnection& c, long number) {
  if (c.session.watching.size() >= kMaxWatched) return;
  c.session.watching.insert(number);
  watchers_[number].insert(&c);
  std::string e = presenceElement(number, kAll, number == c.session.number);
  if (!e.empty())
    sendEvents(c, "<events><event type=\"PresenceChanged\">" + e + "</event></events>");
}

void PresenceHub::handleSubscribe(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* args = doc ? xmlPath(doc.get(), {"args"}) : nullptr;
  if (!args) {
    s_.reply(c, m, 400, "Bad Request");
    return;
  }
  long x = -1;
  bool unsubscribe = m.header("X") && parseLong(m.headerOr("X"), x) && x == 0;
  std::vector<long> numbers;
  for (const TiXmlElement* sub = args->FirstChildElement("subscription"); sub;
       sub = sub->NextSiblingElement("subscription")) {
    const TiXmlElement* contacts = sub->FirstChildElement("contacts");
    for (const TiXmlElement* ct = contacts ? contacts->FirstChildElement("contact") : nullptr; ct;
         ct = ct->NextSiblingElement("contact")) {
      Uri u = parseUri(xmlAttr(ct, "uri"));
      if (u.kind == Uri::Kind::kUser) numbers.push_back(u.number);
    }
  }
  Session& ss = c.session;
  if (unsubscribe) {
    for (long n : numbers) {
      ss.watching.erase(n);
      auto it = watchers_.find(n);
      if (it != watchers_.end()) {
        it->second.erase(&c);
        if (it->second.empty()) watchers_.erase(it);
      }
    }
    s_.reply(c, m, 200, "OK");
    return;
  }
  if (ss.presenceCallId == 0) ss.presenceCallId = m.callId;
  s_.reply(c, m, 200, "OK");
  std::string result, changed;
  for (long n : numbers) {
    if (ss.watching.size() >= kMaxWatched) break;
    auto a = s_.store().account(n);
    if (!a) continue;
    ss.watching.insert(n);
    watchers_[n].insert(&c);
    bool self = n == ss.number;
    if (!self) {
      result += "<contact uri=\"" + xmlEscape(s_.uriOf(n)) +
                "\" status-code=\"200\"><personal mobile-no=\"" + xmlEscape(a->mobile) +
                "\" name=\"" + xmlEscape(a->name) + "\" nickname=\"" + xmlEscape(a->nickname) +
                "\" /></contact>";
    }
    changed += presenceElement(n, kAll, self);
  }
  if (!result.empty())
    sendEvents(c, "<events><event type=\"SubscribeResult\"><results><contacts>" + result +
                      "</contacts></results></event></events>");
  if (!changed.empty())
    sendEvents(c, "<events><event type=\"PresenceChanged\">" + changed + "</event></events>");
}

}  // namespace tavrin::server
