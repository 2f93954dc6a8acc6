#include "roster/payload_bodies.h"

#include "roster/records.h"
#include "roster/xml_escape.h"

namespace tavrin::contacts {

namespace {

// Builds a body from fixed pieces, escaped texts and numbers.
class Body {
 public:
  Body& raw(const char* s) {
    out_ += s;
    return *this;
  }
  Body& text(const char* s) {
    append_escaped(out_, s);
    return *this;
  }
  Body& num(long n) {
    out_ += std::to_string(n);
    return *this;
  }
  std::string str() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string body_set_presence(const char* value) {
  return Body()
      .raw("<args><presence><basic value=\"")
      .text(value)
      .raw("\" /></presence></args>")
      .str();
}

std::string body_set_refuse_sms(int days) {
  Body b;
  b.raw("<args><presence><extended type=\"sms\">");
  if (days != 0) b.num(days).raw(".");
  return b.raw("00:00:00</extended></presence></args>").str();
}

std::string body_set_impresa(const char* impresa) {
  return Body().raw("<args><personal impresa=\"").text(impresa).raw("\" /></args>").str();
}

std::string body_set_nickname(const char* nickname) {
  return Body().raw("<args><personal nickname=\"").text(nickname).raw("\" /></args>").str();
}

std::string body_get_personal_info() {
  return "<args><personal attributes=\"all\" /><services version=\"\" attributes=\"all\" />"
         "<config version=\"96\" attributes=\"all\" /><mobile-device attributes=\"all\" /></args>";
}

std::string body_get_contact_list() {
  return "<args><contacts><buddy-lists /><buddies attributes=\"all\" />"
         "<mobile-buddies attributes=\"all\" /><chat-friends /><blacklist /></contacts></args>";
}

std::string body_get_schedule_sms_list() {
  return "<args><schedule-sms-list version=\"\"/></args>";
}

std::string body_get_group_list() {
  return "<args><group-list version=\"5\" attributes=\"name;identity\" /></args>";
}

std::string body_get_contacts_info(const char* uri) {
  return Body()
      .raw("<args><contacts attributes=\"all\"><contact uri=\"")
      .text(uri)
      .raw("\" /></contacts></args>")
      .str();
}

std::string body_create_buddy_list(const char* name) {
  return Body()
      .raw("<args><contacts><buddy-lists><buddy-list name=\"")
      .text(name)
      .raw("\" /></buddy-lists></contacts></args>")
      .str();
}

std::string body_delete_buddy_list(int group_id) {
  return Body()
      .raw("<args><contacts><buddy-lists><buddy-list id=\"")
      .num(group_id)
      .raw("\" /></buddy-lists></contacts></args>")
      .str();
}

std::string body_set_buddy_list_info(int group_id, const char* name) {
  return Body()
      .raw("<args><contacts><buddy-lists><buddy-list id=\"")
      .num(group_id)
      .raw("\" name=\"")
      .text(name)
      .raw("\" /></buddy-lists></contacts></args>")
      .str();
}

std::string body_set_buddy_info(const char* uri, const char* local_name) {
  return Body()
      .raw("<args><contacts><buddies><buddy uri=\"")
      .text(uri)
      .raw("\" local-name=\"")
      .text(local_name)
      .raw("\" /></buddies></contacts></args>")
      .str();
}

std::string body_set_buddy_lists(const char* uri, int group_id) {
  return Body()
      .raw("<args><contacts><buddies><buddy uri=\"")
      .text(uri)
      .raw("\" buddy-lists=\"")
      .num(group_id)
      .raw("\" /></buddies></contacts></args>")
      .str();
}

std::string body_delete_buddy(const char* uri) {
  return Body()
      .raw("<args><contacts><buddies><buddy uri=\"")
      .text(uri)
      .raw("\" /></buddies></contacts></args>")
      .str();
}

std::string body_blacklist(const char* uri) {
  return Body()
      .raw("<args><contacts><blacklist><blocked uri=\"")
      .text(uri)
      .raw("\" /></blacklist></contacts></args>")
      .str();
}

namespace {

std::string add_body(const char* list, const char* item, const char* uri, const char* local_name,
                     int group_id, const char* desc) {
  return Body()
      .raw("<args><contacts><")
      .raw(list)
      .raw("><")
      .raw(item)
      .raw(" uri=\"")
      .text(uri)
      .raw("\" local-name=\"")
      .text(local_name)
      .raw("\" buddy-lists=\"")
      .num(group_id)
      .raw("\" desc=\"")
      .text(desc)
      .raw("\" expose-mobile-no=\"1\" expose-name=\"1\" /></")
      .raw(list)
      .raw("></contacts></args>")
      .str();
}

}  // namespace

std::string body_add_buddy(const char* uri, const char* local_name, int group_id,
                           const char* desc) {
  return add_body("buddies", "buddy", uri, local_name, group_id, desc);
}

std::string body_add_mobile_buddy(const char* uri, const char* local_name, int group_id,
                                  const char* desc) {
  return add_body("mobile-buddies", "mobile-buddy", uri, local_name, group_id, desc);
}

std::string body_accept_contact_request(const char* uri, int result, int group_id,
                                        const char* local_name) {
  return Body()
      .raw("<args><contacts><buddies><buddy uri=\"")
      .text(uri)
      .raw("\" result=\"")
      .num(result)
      .raw("\" buddy-lists=\"")
      .num(group_id)
      .raw("\" expose-mobile-no=\"0\" expose-name=\"0\" local-name=\"")
      .text(local_name)
      .raw("\" /></buddies></contacts></args>")
      .str();
}

std::string body_refuse_contact_request(const char* uri, int result) {
  return Body()
      .raw("<args><contacts><buddies><buddy uri=\"")
      .text(uri)
      .raw("\" result=\"")
      .num(result)
      .raw("\" /></buddies></contacts></args>")
      .str();
}

std::string body_get_schedule_sms(const std::vector<int>& ids) {
  Body b;
  b.raw("<args><schedule-sms-list>");
  for (int id : ids) b.raw("<schedule-sms id=\"").num(id).raw("\" />");
  return b.raw("</schedule-sms-list></args>").str();
}

std::string body_set_schedule_sms(const char* send_time, const char* message,
                                  const std::vector<std::string>& receiver_uris) {
  Body b;
  b.raw("<args>").raw("<schedule-sms send-time=\"").text(send_time).raw("\">");
  b.raw("<message>").text(message).raw("</message>").raw("<receivers>");
  for (const auto& uri : receiver_uris) b.raw("<receiver uri=\"").text(uri.c_str()).raw("\" />");
  return b.raw("</receivers>").raw("</schedule-sms></args>").str();
}

std::string body_delete_schedule_sms(int id) {
  return Body()
      .raw("<args><schedule-sms-list><schedule-sms id=\"")
      .num(id)
      .raw("\" /></schedule-sms-list></args>")
      .str();
}

std::string body_get_group_members(const char* qun_uri) {
  return Body()
      .raw(
          "<args><groups attributes=\"member-uri;member-nickname;member-oxanickname;"
          "member-identity\"><group uri=\"")
      .text(qun_uri)
      .raw("\" members-major-version=\"2\" members-minor-version=\"2\" /></groups></args>")
      .str();
}

std::string body_subscribe_contacts(const std::vector<std::string>& buddy_uris, const char* own_uri,
                                    bool with_presence) {
  Body b;
  b.raw("<args>").raw("<subscription><contacts>");
  for (const auto& uri : buddy_uris) b.raw("<contact uri=\"").text(uri.c_str()).raw("\" />");
  b.raw("</contacts>");
  if (with_presence)
    b.raw(
        "<presence><basic attributes=\"all\" /><personal attributes=\"all\" />"
        "<extended types=\"sms;location\" /></presence>");
  b.raw("</subscription>");
  if (own_uri != nullptr) {
    b.raw("<subscription><contacts>").raw("<contact uri=\"").text(own_uri).raw("\" />");
    b.raw("</contacts>");
    if (with_presence) b.raw("<presence><extended types=\"sms;location\" /></presence>");
    b.raw("</subscription>");
  }
  return b.raw("</args>").str();
}

std::string body_subscribe_contact(const char* uri, bool with_presence) {
  Body b;
  b.raw("<args>").raw("<subscription><contacts>").raw("<contact uri=\"").text(uri).raw("\" />");
  b.raw("</contacts>");
  if (with_presence)
    b.raw(
        "<presence><basic attributes=\"all\" /><personal attributes=\"all\" />"
        "<extended types=\"sms;location;listening;ring-back-tone\" /></presence>");
  return b.raw("</subscription>").raw("</args>").str();
}

std::string body_subscribe_quns(const std::vector<std::string>& uris, bool with_presence) {
  Body b;
  b.raw("<args>").raw("<subscription><groups>");
  for (const auto& uri : uris) b.raw("<group uri=\"").text(uri.c_str()).raw("\" />");
  b.raw("</groups>");
  if (with_presence)
    b.raw(
        "<presence><basic attributes=\"all\" /><member attributes=\"identity\" />"
        "<management attributes=\"all\" /></presence>");
  return b.raw("</subscription></args>").str();
}

std::vector<std::string> subscribable_uris(const ContactStore& store) {
  std::vector<std::string> uris;
  for (fx_list* n = store.accounts; n != nullptr; n = n->next) {
    auto* a = static_cast<const fx_account*>(n->data);
    if (a->kind == 1 && a->uri != nullptr) uris.emplace_back(a->uri);
  }
  return uris;
}

std::vector<std::string> qun_uris(const ContactStore& store) {
  std::vector<std::string> uris;
  for (fx_list* n = store.quns; n != nullptr; n = n->next) {
    auto* q = static_cast<const fx_qun*>(n->data);
    if (q->uri != nullptr) uris.emplace_back(q->uri);
  }
  return uris;
}

}  // namespace tavrin::contacts
