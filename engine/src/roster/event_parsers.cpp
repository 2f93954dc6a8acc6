#include <cstring>

#include "roster/contact_id.h"
#include "roster/payload_parsers.h"

namespace tavrin::contacts {

namespace {

bool is_type(const TiXmlElement* ev, const char* type) {
  const char* t = ev->Attribute("type");
  return t != nullptr && std::strcmp(t, type) == 0;
}

std::string text_or_empty(const char* s) {
  return s != nullptr ? s : "";
}

}  // namespace

std::vector<ContactEvent> parse_contact_events(const char* body) {
  std::vector<ContactEvent> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* events = doc.FirstChildElement("events");
  if (events == nullptr) return out;
  for (const TiXmlElement* ev = events->FirstChildElement("event"); ev;
       ev = ev->NextSiblingElement("event")) {
    if (is_type(ev, "AddBuddyApplication")) {
      const TiXmlElement* app = ev->FirstChildElement("application");
      if (app == nullptr) continue;
      ContactEvent item;
      item.type = ContactEvent::Type::kApplication;
      item.uri = text_or_empty(app->Attribute("uri"));
      item.desc = text_or_empty(app->Attribute("desc"));
      out.push_back(std::move(item));
    } else if (is_type(ev, "UpdateBuddy")) {
      ContactEvent item;
      item.type = ContactEvent::Type::kUpdateBuddy;
      if (const TiXmlElement* buddies = xml_path(ev, {"contacts", "buddies"}))
        for (const TiXmlElement* b = buddies->FirstChildElement("buddy"); b;
             b = b->NextSiblingElement("buddy")) {
          BuddyRelation r;
          r.uri = text_or_empty(b->Attribute("uri"));
          r.id = contact_id_from_uri(b->Attribute("uri"));
          r.has_relation_status = attr_int_if(b, "relation-status", &r.relation_status);
          item.buddies.push_back(std::move(r));
        }
      out.push_back(std::move(item));
    }
  }
  return out;
}

std::vector<PresenceItem> parse_presence_events(const char* body) {
  std::vector<PresenceItem> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* events = doc.FirstChildElement("events");
  if (events == nullptr) return out;
  for (const TiXmlElement* ev = events->FirstChildElement("event"); ev;
       ev = ev->NextSiblingElement("event")) {
    if (is_type(ev, "PresenceChanged")) {
      for (const TiXmlElement* p = ev->FirstChildElement("presence"); p;
           p = p->NextSiblingElement("presence")) {
        PresenceItem item;
        item.uri = text_or_empty(p->Attribute("uri"));
        item.id = contact_id_from_uri(p->Attribute("uri"));
        if (const TiXmlElement* basic = p->FirstChildElement("basic")) {
          item.has_basic = true;
          item.value = attr_int(basic, "value");
          item.device_type = attr_opt(basic, "device-type");
        }
        if (const TiXmlElement* personal = p->FirstChildElement("personal")) {
          item.has_personal = true;
          if (const char* crc = personal->Attribute("portrait-crc")) {
            item.has_portrait_crc = true;
            item.portrait_crc = static_cast<int>(to_int32(crc));
          }
          item.impresa = attr_opt(personal, "impresa");
          item.nickname = attr_opt(personal, "nickname");
        }
        for (const TiXmlElement* x = p->FirstChildElement("extended"); x;
             x = x->NextSiblingElement("extended"))
          if (is_type(x, "sms")) item.sms_days.push_back(refuse_sms_days(x->GetText()));
        out.push_back(std::move(item));
      }
    } else if (is_type(ev, "SubscribeResult")) {
      const TiXmlElement* contacts = xml_path(ev, {"results", "contacts"});
      if (contacts == nullptr) continue;
      for (const TiXmlElement* c = contacts->FirstChildElement("contact"); c;
           c = c->NextSiblingElement("contact")) {
        const TiXmlElement* personal = c->FirstChildElement("personal");
        if (personal == nullptr) continue;
        PresenceItem item;
        item.subscribe_result = true;
        item.uri = text_or_empty(c->Attribute("uri"));
        item.id = contact_id_from_uri(c->Attribute("uri"));
        item.has_personal = true;
        item.mobile_no = attr_opt(personal, "mobile-no");
        item.name = attr_opt(personal, "name");
        item.nickname = attr_opt(personal, "nickname");
        out.push_back(std::move(item));
      }
    }
  }
  return out;
}

}  // namespace tavrin::contacts
