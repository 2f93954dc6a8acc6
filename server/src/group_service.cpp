#include "group_service.h"

#include <vector>

#include "presence_hub.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr int kMaxGroupsAsked = 200;

long identityIn(Db& db, long group, long number) {
  Stmt& q = db.sql("SELECT identity FROM group_members WHERE grp=? AND member=?");
  q.bind(1, group).bind(2, number);
  long identity = q.step() ? long(q.integer(0)) : -1;
  q.reset();
  return identity;
}
}  // namespace

void GroupService::handleCommand(SipcConnection& c, const SipcMessage& m, const std::string& n) {
  if (n == "PGGetGroupList") return groupList(c, m);
  groupMembers(c, m);
}

void GroupService::groupList(SipcConnection& c, const SipcMessage& m) {
  std::string b = "<results><group-list version=\"5\">";
  Stmt& q = s_.store().db().sql(
      "SELECT g.id, g.name, m.identity FROM group_members m JOIN groups g ON g.id=m.grp "
      "WHERE m.member=? ORDER BY g.id");
  q.bind(1, c.session.number);
  while (q.step())
    b += "<group uri=\"" + xmlEscape(s_.groupUriOf(long(q.integer(0)))) + "\" name=\"" +
         xmlEscape(q.text(1)) + "\" identity=\"" + std::to_string(q.integer(2)) + "\" />";
  s_.reply(c, m, 200, "OK", b + "</group-list></results>");
}

void GroupService::groupMembers(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* groups = doc ? xmlPath(doc.get(), {"args", "groups"}) : nullptr;
  if (!groups) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  std::string b = "<results><groups>";
  int asked = 0;
  for (const TiXmlElement* g = groups->FirstChildElement("group"); g && asked < kMaxGroupsAsked;
       g = g->NextSiblingElement("group"), ++asked) {
    Uri u = parseUri(xmlAttr(g, "uri"));
    if (u.kind != Uri::Kind::kGroup || identityIn(db, u.number, c.session.number) < 0) continue;
    struct Member {
      long number, identity;
      std::string nickname;
    };
    std::vector<Member> members;
    Stmt& q = db.sql(
        "SELECT m.member, m.identity, ifnull(a.nickname,'') FROM group_members m "
        "LEFT JOIN accounts a ON a.number=m.member WHERE m.grp=? ORDER BY m.rowid");
    q.bind(1, u.number);
    while (q.step()) members.push_back({long(q.integer(0)), long(q.integer(1)), q.text(2)});
    b += "<group uri=\"" + xmlEscape(s_.groupUriOf(u.number)) +
         "\" members-major-version=\"2\" members-minor-version=\"2\">";
    for (const Member& mb : members) {
      int presence = s_.presence().visiblePresence(mb.number);
      b += "<member uri=\"" + xmlEscape(s_.uriOf(mb.number)) + "\" nickname=\"" +
           xmlEscape(mb.nickname) + "\" oxanickname=\"" + xmlEscape(mb.nickname) +
           "\" identity=\"" + std::to_string(mb.identity) + "\" state=\"" +
           std::to_string(presence > 0 ? 1 : 0) + "\" client-type=\"PC\" />";
    }
    b += "</group>";
  }
  s_.reply(c, m, 200, "OK", b + "</groups></results>");
}

void GroupService::handleSubscribe(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* groups =
      doc ? xmlPath(doc.get(), {"args", "subscription", "groups"}) : nullptr;
  if (!groups) return s_.reply(c, m, 400, "Bad Request");
  long x = -1;
  bool unsubscribe = m.header("X") && parseLong(m.headerOr("X"), x) && x == 0;
  if (unsubscribe) return s_.reply(c, m, 200, "OK");
  c.session.groupCallId = m.callId;
  s_.reply(c, m, 200, "OK");
  Db& db = s_.store().db();
  std::string events;
  int asked = 0;
  for (const TiXmlElement* g = groups->FirstChildElement("group"); g && asked < kMaxGroupsAsked;
       g = g->NextSiblingElement("group"), ++asked) {
    Uri u = parseUri(xmlAttr(g, "uri"));
    if (u.kind != Uri::Kind::kGroup || identityIn(db, u.number, c.session.number) < 0) continue;
    Stmt& q = db.sql("SELECT name, introduce, bulletin, category, version FROM groups WHERE id=?");
    q.bind(1, u.number);
    if (!q.step()) continue;
    events += "<group uri=\"" + xmlEscape(s_.groupUriOf(u.number)) + "\" name=\"" +
              xmlEscape(q.text(0)) + "\" introduce=\"" + xmlEscape(q.text(1)) + "\" bulletin=\"" +
              xmlEscape(q.text(2)) + "\" category=\"" + std::to_string(q.integer(3)) +
              "\" group-attributes-version=\"" + std::to_string(q.integer(4)) +
              "\" portrait-crc=\"0\" />";
    q.reset();
  }
  if (!events.empty())
    s_.request(c, "BN", m.callId, {{"N", "PGPresence"}},
               "<events><event type=\"PresenceChanged\">" + events + "</event></events>");
}

}  // namespace tavrin::server
