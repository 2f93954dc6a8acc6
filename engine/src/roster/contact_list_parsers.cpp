#include "roster/contact_id.h"
#include "roster/payload_parsers.h"

namespace tavrin::contacts {

namespace {

std::size_t child_count(const TiXmlElement* parent) {
  std::size_t n = 0;
  if (parent != nullptr)
    for (const TiXmlElement* c = parent->FirstChildElement(); c; c = c->NextSiblingElement()) ++n;
  return n;
}

// An account from a buddy or mobile-buddy element that has a uri.
AccountPtr read_account(const TiXmlElement* e, int kind, bool with_online_notify) {
  const char* uri = e->Attribute("uri");
  AccountPtr a(new_record<fx_account>());
  a->id = contact_id_from_uri(uri);
  a->uri = dup_text(uri);
  a->local_name = attr_dup(e, "local-name");
  a->buddy_lists = attr_dup(e, "buddy-lists");
  a->relation_status = attr_int(e, "relation-status");
  if (with_online_notify) a->online_notify = attr_int(e, "online_notify");
  a->kind = kind;
  a->status = kind == 1 ? 68 : 78;
  return a;
}

const TiXmlElement* answer_buddy(TiXmlDocument& doc, const char* body, const char* list,
                                 const char* item) {
  if (!parse_xml(doc, body)) return nullptr;
  return xml_path(&doc, {"results", "contacts", list, item});
}

}  // namespace

std::unique_ptr<ContactStore> parse_contact_list_answer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return nullptr;
  const TiXmlElement* contacts = xml_path(&doc, {"results", "contacts"});
  const TiXmlElement* lists = xml_path(contacts, {"buddy-lists"});
  if (lists == nullptr) return nullptr;

  auto store = std::make_unique<ContactStore>();
  for (const TiXmlElement* e = lists->FirstChildElement(); e; e = e->NextSiblingElement()) {
    int id = attr_int(e, "id");
    if (id == 0) continue;
    GroupPtr g(new_record<fx_group>());
    g->id = id;
    g->name = attr_dup(e, "name");
    store->adopt_group(std::move(g));
  }
  const TiXmlElement* buddies = contacts->FirstChildElement("buddies");
  const TiXmlElement* mobiles = contacts->FirstChildElement("mobile-buddies");
  store->reserve_accounts(child_count(buddies) + child_count(mobiles) + 1);
  if (buddies != nullptr)
    for (const TiXmlElement* e = buddies->FirstChildElement(); e; e = e->NextSiblingElement())
      if (e->Attribute("uri") != nullptr) store->adopt_account(read_account(e, 1, true));
  if (mobiles != nullptr)
    for (const TiXmlElement* e = mobiles->FirstChildElement(); e; e = e->NextSiblingElement())
      if (e->Attribute("uri") != nullptr) store->adopt_account(read_account(e, 2, false));
  // `chat-friends` carries nothing the engine keeps.
  if (const TiXmlElement* blacklist = contacts->FirstChildElement("blacklist"))
    for (const TiXmlElement* e = blacklist->FirstChildElement(); e; e = e->NextSiblingElement()) {
      const char* uri = e->Attribute("uri");
      if (uri == nullptr) continue;
      BlockedPtr b(new_record<fx_blocked>());
      b->id = contact_id_from_uri(uri);
      b->uri = dup_text(uri);
      b->local_name = attr_dup(e, "local-name");
      store->adopt_blocked(std::move(b));
    }
  return store;
}

std::optional<BuddyListAnswer> parse_buddy_list_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "buddy-lists", "buddy-list");
  if (e == nullptr) return std::nullopt;
  return BuddyListAnswer{attr_int(e, "id"), attr_opt(e, "name")};
}

std::optional<BuddyNameAnswer> parse_buddy_info_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "buddies", "buddy");
  if (e == nullptr) return std::nullopt;
  return BuddyNameAnswer{contact_id_from_uri(e->Attribute("uri")), attr_opt(e, "local-name")};
}

std::optional<BuddyMoveAnswer> parse_buddy_lists_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "buddies", "buddy");
  if (e == nullptr) return std::nullopt;
  return BuddyMoveAnswer{contact_id_from_uri(e->Attribute("uri")), attr_int(e, "buddy-lists")};
}

std::optional<BlockedAnswer> parse_blacklist_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "blacklist", "blocked");
  if (e == nullptr) return std::nullopt;
  return BlockedAnswer{attr_opt(e, "uri"), contact_id_from_uri(e->Attribute("uri"))};
}

AccountPtr parse_add_buddy_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "buddies", "buddy");
  return e == nullptr ? nullptr : read_account(e, 1, true);
}

AccountPtr parse_add_mobile_buddy_answer(const char* body) {
  TiXmlDocument doc;
  const TiXmlElement* e = answer_buddy(doc, body, "mobile-buddies", "mobile-buddy");
  return e == nullptr ? nullptr : read_account(e, 2, true);
}

}  // namespace tavrin::contacts
