#include <cstring>

#include "roster/contact_id.h"
#include "roster/payload_parsers.h"
#include "roster/personal_fields.h"

namespace tavrin::contacts {

namespace {

const TiXmlElement* answer_personal(TiXmlDocument& doc, const char* body) {
  if (!parse_xml(doc, body)) return nullptr;
  return xml_path(&doc, {"results", "personal"});
}

}  // namespace

TextPtr parse_impresa_answer(const char* body) {
  TiXmlDocument doc;
  return TextPtr(attr_dup(answer_personal(doc, body), "impresa"));
}

TextPtr parse_nickname_answer(const char* body) {
  TiXmlDocument doc;
  return TextPtr(attr_dup(answer_personal(doc, body), "nickname"));
}

int refuse_sms_days(const char* duration) {
  if (duration == nullptr) return 0;
  const char* dot = std::strchr(duration, '.');
  if (dot == nullptr) return 0;
  return static_cast<int>(to_int32(std::string(duration, dot).c_str()));
}

int parse_refuse_sms_answer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return 0;
  const TiXmlElement* e = xml_path(&doc, {"results", "presence", "extended"});
  return e == nullptr ? 0 : refuse_sms_days(e->GetText());
}

int parse_score_answer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return 0;
  return attr_int(xml_path(&doc, {"results", "score"}), "value");
}

PersonalInfoPtr read_personal(const TiXmlElement* personal) {
  if (personal == nullptr) return nullptr;
  PersonalInfoPtr info(new_record<fx_personal_info>());
  for (const auto& f : kPersonalFields) {
    if (f.is_int)
      int_field(*info, f) = attr_int(personal, f.attribute);
    else
      text_field(*info, f) = attr_dup(personal, f.attribute);
  }
  return info;
}

PersonalInfoPtr parse_personal_info_answer(const char* body) {
  TiXmlDocument doc;
  return read_personal(answer_personal(doc, body));
}

std::vector<ContactInfo> parse_contacts_info_answer(const char* body) {
  std::vector<ContactInfo> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* contacts = xml_path(&doc, {"results", "contacts"});
  if (contacts == nullptr) return out;
  for (const TiXmlElement* c = contacts->FirstChildElement(); c; c = c->NextSiblingElement()) {
    const TiXmlElement* personal = c->FirstChildElement("personal");
    if (personal == nullptr) continue;
    ContactInfo item;
    item.uri = attr_opt(c, "uri");
    item.id = contact_id_from_uri(c->Attribute("uri"));
    item.info = read_personal(personal);
    out.push_back(std::move(item));
  }
  return out;
}

std::vector<long> apply_contacts_info(ContactStore& store, const std::vector<ContactInfo>& infos) {
  std::vector<long> filled;
  for (const auto& item : infos) {
    fx_account* a = store.account_by_id(item.id);
    if (a == nullptr || item.info == nullptr) continue;
    if (a->personal_info == nullptr) a->personal_info = new_record<fx_personal_info>();
    assign_profile(*a->personal_info, *item.info);
    filled.push_back(item.id);
  }
  return filled;
}

std::optional<OwnUserInfo> parse_own_user_answer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return std::nullopt;
  const TiXmlElement* user = xml_path(&doc, {"results", "user"});
  if (user == nullptr) return std::nullopt;
  return OwnUserInfo{attr_opt(user, "uri"), attr_opt(user, "mobile-no"),
                     attr_int(user, "user-status")};
}

}  // namespace tavrin::contacts
