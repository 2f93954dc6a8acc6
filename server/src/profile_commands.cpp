#include "profile_commands.h"

#include "contact_commands.h"
#include "digest.h"
#include "presence_hub.h"
#include "registrar.h"
#include "uri.h"
#include "xml_text.h"

namespace tavrin::server {

namespace {
constexpr size_t kMaxImpresa = 1024;
constexpr size_t kMaxNickname = 256;
constexpr long kMaxRefuseDays = 3650;
}  // namespace

bool ProfileCommands::handles(const std::string& n) const {
  return n == "GetPersonalInfo" || n == "GetContactsInfo" || n == "SetPersonalInfo" ||
         n == "SetPresence" || n == "GetScore" || n == "GetUserInfo";
}

std::string ProfileCommands::personalElement(const Account& a, long) {
  auto t = [](const char* name, const std::string& v) {
    return std::string(" ") + name + "=\"" + xmlEscape(v) + "\"";
  };
  auto i = [](const char* name, long v) {
    return std::string(" ") + name + "=\"" + std::to_string(v) + "\"";
  };
  std::string e = "<personal version=\"1\"";
  e += t("nickname", a.nickname) + t("impresa", a.impresa) + i("gender", a.gender) +
       t("nation", "CN") + t("province", "") + i("city", 0) + i("ivr-enabled", 1) +
       i("portrait-crc", 0) + i("provisioning", 1) + t("mobile-no", a.mobile) + t("name", a.name) +
       t("birth-date", "") + i("birthday-valid", 0) + i("lunar-animal", 0) + i("horoscope", 0) +
       t("profile", a.profile) + i("blood-type", 0) + t("occupation", "") + t("hobby", "") +
       t("personal-email", "") + t("work-email", "") + t("other-email", "") +
       i("primary-email", 0) + t("job-title", "") + t("home-phone", "") + t("work-phone", "") +
       t("other-phone", "") + t("company", "") + t("company_website", "") + i("match-enabled", 0) +
       " />";
  return e;
}

void ProfileCommands::handle(SipcConnection& c, const SipcMessage& m, const std::string& n) {
  if (n == "GetUserInfo") return getUserInfo(c, m);
  if (n == "GetContactsInfo") return getContactsInfo(c, m);
  if (n == "SetPersonalInfo") return setPersonalInfo(c, m);
  if (n == "SetPresence") return setPresence(c, m);
  auto me = s_.store().account(c.session.number);
  if (!me) return s_.reply(c, m, 404, "Not Found");
  if (n == "GetScore")
    return s_.reply(c, m, 200, "OK",
                    "<results><score value=\"" + std::to_string(me->score) + "\" /></results>");
  // GetPersonalInfo
  s_.reply(c, m, 200, "OK", "<results>" + personalElement(*me) + "</results>");
}

void ProfileCommands::lookupBeforeLogin(SipcConnection& c, const SipcMessage& m) {
  // A login by mobile number needs the account number behind it, and
  // nothing more: no presence, no profile, no mobile number of anyone. The
  // lookups of an address are slowed like wrong passwords.
  const uint32_t address = s_.peerAddressOf(c);
  if (s_.registrar().throttle().lookup(address, LoginThrottle::Clock::now()) >
      LoginThrottle::Clock::duration::zero())
    return s_.reply(c, m, 403, "Too Many Attempts");
  auto doc = parseXml(m.body);
  const TiXmlElement* user = doc ? xmlPath(doc.get(), {"args", "user"}) : nullptr;
  const std::string mobile = user ? xmlAttr(user, "mobile-no") : std::string();
  if (!isMobileNumber(mobile)) return s_.reply(c, m, 400, "Bad Request");
  // A number without an account gets a stand-in account number, the same
  // every time, after the same work: its login then fails as a wrong
  // password would, and the answer never tells which numbers have accounts.
  const std::string standIn = md5Hex(lookupSecret() + mobile);
  const auto a = s_.store().accountByMobile(mobile);
  const long number = a ? a->number : 100000000 + long(std::stoul(standIn.substr(0, 8), nullptr, 16) % 900000000);
  s_.reply(c, m, 200, "OK", "<results><user uri=\"" + xmlEscape(s_.uriOf(number)) + "\" /></results>");
}

const std::string& ProfileCommands::lookupSecret() {
  if (!secret_.empty()) return secret_;
  Db& db = s_.store().db();
  Stmt& q = db.sql("SELECT value FROM meta WHERE key='lookup-secret'");
  if (q.step()) secret_ = q.text(0);
  q.reset();
  if (secret_.empty()) {
    secret_ = newNonce();
    db.sql("INSERT OR REPLACE INTO meta(key, value) VALUES('lookup-secret', ?)")
        .bind(1, secret_)
        .run();
  }
  return secret_;
}

void ProfileCommands::getUserInfo(SipcConnection& c, const SipcMessage& m) {
  if (!c.session.registered) return lookupBeforeLogin(c, m);
  std::optional<Account> a;
  if (m.body.empty()) {
    if (!c.session.registered) return s_.reply(c, m, 401, "Unauthorized");
    a = s_.store().account(c.session.number);
  } else {
    auto doc = parseXml(m.body);
    const TiXmlElement* user = doc ? xmlPath(doc.get(), {"args", "user"}) : nullptr;
    if (!user) return s_.reply(c, m, 400, "Bad Request");
    std::string mobile = xmlAttr(user, "mobile-no");
    long sid = 0;
    if (!mobile.empty()) {
      if (!isMobileNumber(mobile)) return s_.reply(c, m, 400, "Bad Request");
      a = s_.store().accountByMobile(mobile);
    } else if (xmlIntAttr(user, "sid", sid)) {
      a = s_.store().account(sid);
    } else {
      return s_.reply(c, m, 400, "Bad Request");
    }
  }
  if (!a) return s_.reply(c, m, 404, "Not Found");
  // Presence and the mobile number go to the user and to those the user
  // lists and does not block; anyone else sees an offline account.
  const bool shared = a->number == c.session.number || s_.contacts().shares(a->number, c.session.number);
  std::string body = "<results><user uri=\"" + xmlEscape(s_.uriOf(a->number)) + "\" mobile-no=\"" +
                     xmlEscape(shared ? a->mobile : std::string()) + "\" user-status=\"" +
                     std::to_string(shared ? s_.presence().visiblePresence(a->number) : 0) +
                     "\" /></results>";
  s_.reply(c, m, 200, "OK", body);
}

void ProfileCommands::getContactsInfo(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* contacts = doc ? xmlPath(doc.get(), {"args", "contacts"}) : nullptr;
  if (!contacts) return s_.reply(c, m, 400, "Bad Request");
  std::string out;
  for (const TiXmlElement* ct = contacts->FirstChildElement("contact"); ct;
       ct = ct->NextSiblingElement("contact")) {
    Uri u = parseUri(xmlAttr(ct, "uri"));
    std::optional<Account> a;
    if (u.kind == Uri::Kind::kUser) a = s_.store().account(u.number);
    if (u.kind == Uri::Kind::kTel) a = s_.store().accountByMobile(u.mobile);
    if (!a) continue;
    out += "<contact uri=\"" + xmlEscape(xmlAttr(ct, "uri")) + "\" status-code=\"200\">" +
           personalElement(*a) + "</contact>";
  }
  if (out.empty()) return s_.reply(c, m, 404, "Not Found");
  s_.reply(c, m, 200, "OK", "<results><contacts>" + out + "</contacts></results>");
}

void ProfileCommands::setPersonalInfo(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* p = doc ? xmlPath(doc.get(), {"args", "personal"}) : nullptr;
  if (!p) return s_.reply(c, m, 400, "Bad Request");
  long me = c.session.number;
  std::string answer = "<results><personal version=\"1\"";
  bool any = false;
  if (const char* v = p->Attribute("impresa")) {
    std::string text(v);
    if (text.size() > kMaxImpresa) return s_.reply(c, m, 400, "Bad Request");
    s_.store().setImpresa(me, text);
    answer += " impresa=\"" + xmlEscape(text) + "\"";
    any = true;
  }
  if (const char* v = p->Attribute("nickname")) {
    std::string text(v);
    if (text.size() > kMaxNickname) return s_.reply(c, m, 400, "Bad Request");
    s_.store().setNickname(me, text);
    answer += " nickname=\"" + xmlEscape(text) + "\"";
    any = true;
  }
  if (!any) return s_.reply(c, m, 400, "Bad Request");
  s_.reply(c, m, 200, "OK", answer + " /></results>");
  s_.presence().announce(me, PresenceHub::kPersonal);
}

void ProfileCommands::setPresence(SipcConnection& c, const SipcMessage& m) {
  auto doc = parseXml(m.body);
  const TiXmlElement* p = doc ? xmlPath(doc.get(), {"args", "presence"}) : nullptr;
  if (!p) return s_.reply(c, m, 400, "Bad Request");
  long me = c.session.number;
  if (const TiXmlElement* basic = p->FirstChildElement("basic")) {
    long value = 0;
    if (!xmlIntAttr(basic, "value", value) || value < 0 || value > 999)
      return s_.reply(c, m, 400, "Bad Request");
    c.session.presence = int(value);
    s_.reply(c, m, 200, "OK",
             "<results><presence><basic value=\"" + std::to_string(value) +
                 "\" /></presence></results>");
    s_.presence().announce(me, PresenceHub::kBasic);
    return;
  }
  const TiXmlElement* ext = p->FirstChildElement("extended");
  if (!ext || xmlAttr(ext, "type") != "sms") return s_.reply(c, m, 400, "Bad Request");
  std::string text = xmlText(ext);
  long days = 0;
  size_t dot = text.find('.');
  if (dot != std::string::npos && !parseLong(text.substr(0, dot), days))
    return s_.reply(c, m, 400, "Bad Request");
  if (dot == std::string::npos && text != "00:00:00") return s_.reply(c, m, 400, "Bad Request");
  if (days < 0 || days > kMaxRefuseDays) return s_.reply(c, m, 400, "Bad Request");
  s_.store().setRefuseSmsDays(me, days);
  std::string shown = days > 0 ? std::to_string(days) + ".00:00:00" : "00:00:00";
  s_.reply(
      c, m, 200, "OK",
      "<results><presence><extended type=\"sms\">" + shown + "</extended></presence></results>");
  s_.presence().announce(me, PresenceHub::kSms);
}

}  // namespace tavrin::server
