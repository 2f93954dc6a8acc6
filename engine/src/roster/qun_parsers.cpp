#include "roster/contact_id.h"
#include "roster/payload_parsers.h"

namespace tavrin::contacts {

OwnedChain<fx_qun> parse_group_list_answer(const char* body) {
  OwnedChain<fx_qun> list;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return list;
  const TiXmlElement* parent = xml_path(&doc, {"results", "group-list"});
  if (parent == nullptr) return list;
  for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
    const char* uri = e->Attribute("uri");
    if (uri == nullptr) continue;
    QunPtr q(new_record<fx_qun>());
    q->id = contact_id_from_uri(uri);
    q->uri = dup_text(uri);
    q->identity = attr_int(e, "identity");
    list.append(std::move(q));
  }
  return list;
}

std::vector<QunMembers> parse_group_members_answer(const char* body) {
  std::vector<QunMembers> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* groups = xml_path(&doc, {"results", "groups"});
  if (groups == nullptr) return out;
  for (const TiXmlElement* g = groups->FirstChildElement("group"); g;
       g = g->NextSiblingElement("group")) {
    QunMembers item;
    item.uri = attr_opt(g, "uri");
    item.id = contact_id_from_uri(g->Attribute("uri"));
    for (const TiXmlElement* e = g->FirstChildElement(); e; e = e->NextSiblingElement()) {
      QunMemberPtr m(new_record<fx_qun_member>());
      m->uri = attr_dup(e, "uri");
      m->id = contact_id_from_uri(m->uri);
      m->nickname = attr_dup(e, "nickname");
      m->oxanickname = attr_dup(e, "oxanickname");
      m->client_type = attr_dup(e, "client-type");
      m->identity = attr_int(e, "identity");
      m->state = attr_int(e, "state");
      item.members.append(std::move(m));
    }
    out.push_back(std::move(item));
  }
  return out;
}

void apply_group_members(ContactStore& store, std::vector<QunMembers>& groups) {
  for (auto& g : groups) {
    fx_qun* q = store.qun_by_id(g.id);
    if (q == nullptr) continue;
    if (q->info == nullptr) q->info = new_record<fx_qun_info>();
    free_chain<fx_qun_member>(q->info->members);
    q->info->members = g.members.release();
  }
}

std::vector<QunPresence> parse_qun_presence_events(const char* body) {
  std::vector<QunPresence> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* events = doc.FirstChildElement("events");
  if (events == nullptr) return out;
  for (const TiXmlElement* ev = events->FirstChildElement("event"); ev;
       ev = ev->NextSiblingElement("event")) {
    const char* type = ev->Attribute("type");
    if (type == nullptr || std::string(type) != "PresenceChanged") continue;
    for (const TiXmlElement* e = ev->FirstChildElement(); e; e = e->NextSiblingElement()) {
      QunPresence p;
      p.uri = attr_opt(e, "uri");
      p.id = contact_id_from_uri(e->Attribute("uri"));
      p.name = attr_opt(e, "name");
      p.introduce = attr_opt(e, "introduce");
      p.bulletin = attr_opt(e, "bulletin");
      p.attributes_version = attr_int(e, "group-attributes-version");
      p.category = attr_int(e, "category");
      p.portrait_crc = attr_int(e, "portrait-crc");
      out.push_back(std::move(p));
    }
  }
  return out;
}

void apply_qun_presence(ContactStore& store, const std::vector<QunPresence>& items) {
  auto c = [](const OptText& t) { return t ? t->c_str() : nullptr; };
  for (const auto& p : items) {
    fx_qun* q = store.qun_by_id(p.id);
    if (q == nullptr) continue;
    if (q->info == nullptr) q->info = new_record<fx_qun_info>();
    fx_qun_info& info = *q->info;
    set_text(info.uri, c(p.uri));
    set_text(info.name, c(p.name));
    set_text(info.introduce, c(p.introduce));
    set_text(info.bulletin, c(p.bulletin));
    info.attributes_version = p.attributes_version;
    info.category = p.category;
    info.portrait_crc = p.portrait_crc;
  }
}

}  // namespace tavrin::contacts
