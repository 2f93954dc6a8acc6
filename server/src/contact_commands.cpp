#include "contact_commands.h"

#include "log.h"
#include "presence_hub.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr size_t kMaxName = 256;
constexpr long kMaxBuddyLists = 64;
constexpr long kMaxBuddies = 5000;

const TiXmlElement* firstUnder(const TiXmlDocument* doc, const char* list, const char* item) {
  return doc ? xmlPath(doc, {"args", "contacts", list, item}) : nullptr;
}
}  // namespace

bool ContactCommands::handles(const std::string& n) const {
  return n == "GetContactList" || n == "CreateBuddyList" || n == "DeleteBuddyList" ||
         n == "SetBuddyListInfo" || n == "SetBuddyInfo" || n == "SetBuddyLists" ||
         n == "DeleteBuddy" || n == "AddToBlacklist" || n == "RemoveFromBlacklist" ||
         n == "AddBuddy" || n == "AddMobileBuddy" || n == "HandleContactRequest";
}

void ContactCommands::handle(SipcConnection& c, const SipcMessage& m, const std::string& n) {
  if (n == "GetContactList") return contactList(c, m);
  if (n == "CreateBuddyList" || n == "DeleteBuddyList" || n == "SetBuddyListInfo")
    return buddyListCommand(c, m, n);
  if (n == "SetBuddyInfo" || n == "SetBuddyLists" || n == "DeleteBuddy")
    return buddyCommand(c, m, n);
  if (n == "AddToBlacklist" || n == "RemoveFromBlacklist") return blacklistCommand(c, m, n);
  if (n == "AddBuddy") return addBuddy(c, m, false);
  if (n == "AddMobileBuddy") return addBuddy(c, m, true);
  handleContactRequest(c, m);
}

void ContactCommands::contactList(SipcConnection& c, const SipcMessage& m) {
  Db& db = s_.store().db();
  long me = c.session.number;
  std::string b = "<results><contacts version=\"1\"><buddy-lists>";
  Stmt& lists = db.sql("SELECT id, name FROM buddy_lists WHERE owner=? ORDER BY id");
  lists.bind(1, me);
  while (lists.step())
    b += "<buddy-list id=\"" + std::to_string(lists.integer(0)) + "\" name=\"" +
         xmlEscape(lists.text(1)) + "\" />";
  b += "</buddy-lists><buddies>";
  Stmt& buddies = db.sql(
      "SELECT buddy, local_name, lists, relation, online_notify FROM buddies WHERE owner=? "
      "ORDER BY rowid");
  buddies.bind(1, me);
  while (buddies.step()) {
    long n = long(buddies.integer(0));
    b += "<buddy uri=\"" + xmlEscape(s_.uriOf(n)) + "\" user-id=\"" + std::to_string(n) +
         "\" local-name=\"" + xmlEscape(buddies.text(1)) + "\" buddy-lists=\"" +
         xmlEscape(buddies.text(2)) + "\" relation-status=\"" + std::to_string(buddies.integer(3)) +
         "\" online_notify=\"" + std::to_string(buddies.integer(4)) + "\" />";
  }
  b += "</buddies><mobile-buddies>";
  Stmt& mobiles = db.sql(
      "SELECT mobile, local_name, lists, relation FROM mobile_buddies WHERE owner=? ORDER BY "
      "rowid");
  mobiles.bind(1, me);
  while (mobiles.step())
    b += "<mobile-buddy uri=\"" + xmlEscape(telUri(mobiles.text(0))) + "\" local-name=\"" +
         xmlEscape(mobiles.text(1)) + "\" buddy-lists=\"" + xmlEscape(mobiles.text(2)) +
         "\" relation-status=\"" + std::to_string(mobiles.integer(3)) + "\" />";
  b += "</mobile-buddies><chat-friends /><blacklist>";
  Stmt& blocked = db.sql("SELECT uri, local_name FROM blacklist WHERE owner=? ORDER BY rowid");
  blocked.bind(1, me);
  while (blocked.step())
    b += "<blocked uri=\"" + xmlEscape(blocked.text(0)) + "\" local-name=\"" +
         xmlEscape(blocked.text(1)) + "\" />";
  b += "</blacklist></contacts></results>";
  s_.reply(c, m, 200, "OK", b);
}

void ContactCommands::buddyListCommand(SipcConnection& c, const SipcMessage& m,
                                       const std::string& n) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = firstUnder(doc.get(), "buddy-lists", "buddy-list");
  if (!e) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  long id = 0;
  std::string name = xmlAttr(e, "name");
  if (name.size() > kMaxName) return s_.reply(c, m, 400, "Bad Request");
  if (n == "CreateBuddyList") {
    if (name.empty()) return s_.reply(c, m, 400, "Bad Request");
    Stmt& q = db.sql("SELECT ifnull(max(id),0), count(*) FROM buddy_lists WHERE owner=?");
    q.bind(1, me);
    q.step();
    id = long(q.integer(0)) + 1;
    long count = long(q.integer(1));
    q.reset();
    if (count >= kMaxBuddyLists) return s_.reply(c, m, 486, "Busy Here");
    db.sql("INSERT INTO buddy_lists(owner, id, name) VALUES(?,?,?)")
        .bind(1, me)
        .bind(2, id)
        .bind(3, name)
        .run();
  } else {
    if (!xmlIntAttr(e, "id", id) || id <= 0) return s_.reply(c, m, 400, "Bad Request");
    if (n == "DeleteBuddyList") {
      db.sql("DELETE FROM buddy_lists WHERE owner=? AND id=?").bind(1, me).bind(2, id).run();
    } else {
      db.sql("UPDATE buddy_lists SET name=? WHERE owner=? AND id=?")
          .bind(1, name)
          .bind(2, me)
          .bind(3, id)
          .run();
    }
    if (db.changes() == 0) return s_.reply(c, m, 404, "Not Found");
  }
  std::string attrs = "id=\"" + std::to_string(id) + "\"";
  if (n != "DeleteBuddyList") attrs += " name=\"" + xmlEscape(name) + "\"";
  s_.reply(c, m, 200, "OK",
           "<results><contacts version=\"1\"><buddy-lists><buddy-list " + attrs +
               " /></buddy-lists></contacts></results>");
}

void ContactCommands::buddyCommand(SipcConnection& c, const SipcMessage& m, const std::string& n) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = firstUnder(doc.get(), "buddies", "buddy");
  if (!e) return s_.reply(c, m, 400, "Bad Request");
  std::string uri = xmlAttr(e, "uri");
  Uri u = parseUri(uri);
  if (u.kind != Uri::Kind::kUser && u.kind != Uri::Kind::kTel)
    return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  bool tel = u.kind == Uri::Kind::kTel;
  std::string extra;
  if (n == "SetBuddyInfo") {
    std::string name = xmlAttr(e, "local-name");
    if (name.size() > kMaxName) return s_.reply(c, m, 400, "Bad Request");
    if (tel)
      db.sql("UPDATE mobile_buddies SET local_name=? WHERE owner=? AND mobile=?")
          .bind(1, name)
          .bind(2, me)
          .bind(3, u.mobile)
          .run();
    else
      db.sql("UPDATE buddies SET local_name=? WHERE owner=? AND buddy=?")
          .bind(1, name)
          .bind(2, me)
          .bind(3, u.number)
          .run();
    extra = " local-name=\"" + xmlEscape(name) + "\"";
  } else if (n == "SetBuddyLists") {
    long list = 0;
    if (!xmlIntAttr(e, "buddy-lists", list)) return s_.reply(c, m, 400, "Bad Request");
    std::string text = std::to_string(list);
    if (tel)
      db.sql("UPDATE mobile_buddies SET lists=? WHERE owner=? AND mobile=?")
          .bind(1, text)
          .bind(2, me)
          .bind(3, u.mobile)
          .run();
    else
      db.sql("UPDATE buddies SET lists=? WHERE owner=? AND buddy=?")
          .bind(1, text)
          .bind(2, me)
          .bind(3, u.number)
          .run();
    extra = " buddy-lists=\"" + text + "\"";
  } else {
    if (tel)
      db.sql("DELETE FROM mobile_buddies WHERE owner=? AND mobile=?")
          .bind(1, me)
          .bind(2, u.mobile)
          .run();
    else
      db.sql("DELETE FROM buddies WHERE owner=? AND buddy=?").bind(1, me).bind(2, u.number).run();
  }
  if (db.changes() == 0) return s_.reply(c, m, 404, "Not Found");
  s_.reply(c, m, 200, "OK",
           "<results><contacts version=\"1\"><buddies><buddy uri=\"" + xmlEscape(uri) + "\"" +
               extra + " /></buddies></contacts></results>");
}

bool ContactCommands::blocks(long owner, long other) {
  Stmt& q = s_.store().db().sql("SELECT 1 FROM blacklist WHERE owner=? AND uri=?");
  q.bind(1, owner).bind(2, s_.uriOf(other));
  const bool yes = q.step();
  q.reset();
  return yes;
}

bool ContactCommands::shares(long owner, long other) {
  Stmt& q = s_.store().db().sql("SELECT 1 FROM buddies WHERE owner=? AND buddy=?");
  q.bind(1, owner).bind(2, other);
  const bool listed = q.step();
  q.reset();
  return listed && !blocks(owner, other);
}

void ContactCommands::blacklistCommand(SipcConnection& c, const SipcMessage& m,
                                       const std::string& n) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = firstUnder(doc.get(), "blacklist", "blocked");
  if (!e) return s_.reply(c, m, 400, "Bad Request");
  Uri u = parseUri(xmlAttr(e, "uri"));
  if (u.kind != Uri::Kind::kUser) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  std::string uri = s_.uriOf(u.number);
  std::string localName;
  if (n == "AddToBlacklist") {
    Stmt& q = db.sql("SELECT local_name FROM buddies WHERE owner=? AND buddy=?");
    q.bind(1, me).bind(2, u.number);
    if (q.step()) localName = q.text(0);
    q.reset();
    db.sql("INSERT OR REPLACE INTO blacklist(owner, uri, local_name) VALUES(?,?,?)")
        .bind(1, me)
        .bind(2, uri)
        .bind(3, localName)
        .run();
  } else {
    db.sql("DELETE FROM blacklist WHERE owner=? AND uri=?").bind(1, me).bind(2, uri).run();
    if (db.changes() == 0) return s_.reply(c, m, 404, "Not Found");
  }
  s_.reply(c, m, 200, "OK",
           "<results><contacts version=\"1\"><blacklist><blocked uri=\"" + xmlEscape(uri) +
               "\" local-name=\"" + xmlEscape(localName) +
               "\" /></blacklist></contacts></results>");
}

void ContactCommands::addBuddy(SipcConnection& c, const SipcMessage& m, bool mobileBuddy) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = mobileBuddy ? firstUnder(doc.get(), "mobile-buddies", "mobile-buddy")
                                      : firstUnder(doc.get(), "buddies", "buddy");
  if (!e) return s_.reply(c, m, 400, "Bad Request");
  Uri u = parseUri(xmlAttr(e, "uri"));
  std::string localName = xmlAttr(e, "local-name");
  std::string lists = xmlAttr(e, "buddy-lists");
  std::string desc = xmlAttr(e, "desc");
  if (localName.size() > kMaxName || lists.size() > 64 || desc.size() > kMaxName)
    return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  Stmt& count = db.sql(
      "SELECT (SELECT count(*) FROM buddies WHERE owner=?1) + (SELECT count(*) FROM mobile_buddies "
      "WHERE owner=?1)");
  count.bind(1, me);
  count.step();
  long have = long(count.integer(0));
  count.reset();
  if (have >= kMaxBuddies) return s_.reply(c, m, 486, "Busy Here");

  if (mobileBuddy) {
    if (u.kind != Uri::Kind::kTel) return s_.reply(c, m, 400, "Bad Request");
    db.sql(
          "INSERT OR REPLACE INTO mobile_buddies(owner, mobile, local_name, lists, relation) "
          "VALUES(?,?,?,?,1)")
        .bind(1, me)
        .bind(2, u.mobile)
        .bind(3, localName)
        .bind(4, lists)
        .run();
    return s_.reply(c, m, 200, "OK",
                    "<results><contacts version=\"1\"><mobile-buddies><mobile-buddy uri=\"" +
                        xmlEscape(telUri(u.mobile)) + "\" local-name=\"" + xmlEscape(localName) +
                        "\" buddy-lists=\"" + xmlEscape(lists) +
                        "\" relation-status=\"1\" /></mobile-buddies></contacts></results>");
  }
  long target = 0;
  if (u.kind == Uri::Kind::kUser) {
    if (!s_.store().account(u.number)) return s_.reply(c, m, 404, "Not Found");
    target = u.number;
  } else if (u.kind == Uri::Kind::kTel) {
    auto a = s_.store().accountByMobile(u.mobile);
    // A phone without a Tavrin account: the client then adds it as a mobile buddy.
    if (!a) return s_.reply(c, m, 522, "No Subscriber");
    target = a->number;
  } else {
    return s_.reply(c, m, 400, "Bad Request");
  }
  if (target == me) return s_.reply(c, m, 400, "Bad Request");
  // Already accepted by the other side (they have us, mutually): no new request.
  long relation = 0;
  Stmt& theirs = db.sql("SELECT relation FROM buddies WHERE owner=? AND buddy=?");
  theirs.bind(1, target).bind(2, me);
  if (theirs.step() && theirs.integer(0) == 1) relation = 1;
  theirs.reset();
  db.sql(
        "INSERT OR REPLACE INTO buddies(owner, buddy, local_name, lists, relation) "
        "VALUES(?,?,?,?,?)")
      .bind(1, me)
      .bind(2, target)
      .bind(3, localName)
      .bind(4, lists)
      .bind(5, relation)
      .run();
  s_.reply(c, m, 200, "OK",
           "<results><contacts version=\"1\"><buddies><buddy uri=\"" + xmlEscape(s_.uriOf(target)) +
               "\" user-id=\"" + std::to_string(target) + "\" local-name=\"" +
               xmlEscape(localName) + "\" buddy-lists=\"" + xmlEscape(lists) +
               "\" relation-status=\"" + std::to_string(relation) +
               "\" online_notify=\"0\" /></buddies></contacts></results>");
  if (relation == 0) {
    db.sql("INSERT OR REPLACE INTO contact_requests(requester, target, descr) VALUES(?,?,?)")
        .bind(1, me)
        .bind(2, target)
        .bind(3, desc)
        .run();
    sendApplication(me, target, desc);
  }
}

void ContactCommands::sendApplication(long requester, long target, const std::string& desc) {
  SipcConnection* t = s_.online(target);
  if (!t) return;
  s_.request(*t, "BN", t->session.regCallId, {{"N", "contact"}},
             "<events><event type=\"AddBuddyApplication\"><application uri=\"" +
                 xmlEscape(s_.uriOf(requester)) + "\" desc=\"" + xmlEscape(desc) +
                 "\" type=\"0\" /></event></events>");
}

void ContactCommands::sendUpdateBuddy(long owner, long buddy, long relation) {
  SipcConnection* o = s_.online(owner);
  if (!o) return;
  s_.request(*o, "BN", o->session.regCallId, {{"N", "contact"}},
             "<events><event type=\"UpdateBuddy\"><contacts><buddies><buddy uri=\"" +
                 xmlEscape(s_.uriOf(buddy)) + "\" relation-status=\"" + std::to_string(relation) +
                 "\" /></buddies></contacts></event></events>");
}

void ContactCommands::deliverPending(SipcConnection& c) {
  Db& db = s_.store().db();
  std::vector<std::pair<long, std::string>> pending;
  Stmt& q = db.sql("SELECT requester, descr FROM contact_requests WHERE target=?");
  q.bind(1, c.session.number);
  while (q.step()) pending.emplace_back(long(q.integer(0)), q.text(1));
  for (const auto& [requester, desc] : pending) sendApplication(requester, c.session.number, desc);
}

void ContactCommands::handleContactRequest(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* e = firstUnder(doc.get(), "buddies", "buddy");
  long result = 0;
  if (!e || !xmlIntAttr(e, "result", result)) return s_.reply(c, m, 400, "Bad Request");
  Uri u = parseUri(xmlAttr(e, "uri"));
  if (u.kind != Uri::Kind::kUser) return s_.reply(c, m, 400, "Bad Request");
  Db& db = s_.store().db();
  long me = c.session.number;
  long requester = u.number;
  db.sql("DELETE FROM contact_requests WHERE requester=? AND target=?")
      .bind(1, requester)
      .bind(2, me)
      .run();
  bool wasAsked = db.changes() > 0;
  if (!wasAsked) return s_.reply(c, m, 404, "Not Found");
  long relation = result != 0 ? 1 : 2;
  if (result != 0) {
    std::string localName = xmlAttr(e, "local-name");
    std::string lists = xmlAttr(e, "buddy-lists");
    if (localName.size() > kMaxName || lists.size() > 64) return s_.reply(c, m, 400, "Bad Request");
    db.sql(
          "INSERT OR REPLACE INTO buddies(owner, buddy, local_name, lists, relation) "
          "VALUES(?,?,?,?,1)")
        .bind(1, me)
        .bind(2, requester)
        .bind(3, localName)
        .bind(4, lists)
        .run();
  }
  db.sql("UPDATE buddies SET relation=? WHERE owner=? AND buddy=?")
      .bind(1, relation)
      .bind(2, requester)
      .bind(3, me)
      .run();
  s_.reply(c, m, 200, "OK");
  sendUpdateBuddy(requester, me, relation);
}

}  // namespace tavrin::server
