#include "roster/contact_id.h"
#include "roster/payload_parsers.h"

namespace tavrin::contacts {

OwnedChain<fx_schedule_sms> parse_schedule_list_answer(const char* body) {
  OwnedChain<fx_schedule_sms> list;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return list;
  const TiXmlElement* parent = xml_path(&doc, {"results", "schedule-sms-list"});
  if (parent == nullptr) return list;
  for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
    int id = attr_int(e, "id");
    if (id == 0) continue;
    ScheduleSmsPtr sms(new_record<fx_schedule_sms>());
    sms->id = id;
    sms->version = attr_int(e, "version");
    list.append(std::move(sms));
  }
  return list;
}

std::vector<ScheduleDetail> parse_schedule_details_answer(const char* body) {
  std::vector<ScheduleDetail> out;
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return out;
  const TiXmlElement* parent = xml_path(&doc, {"results", "schedule-sms-list"});
  if (parent == nullptr) return out;
  for (const TiXmlElement* e = parent->FirstChildElement(); e; e = e->NextSiblingElement()) {
    ScheduleDetail d;
    d.id = attr_int(e, "id");
    d.version = attr_int(e, "version");
    d.send_time = attr_opt(e, "send-time");
    // The text of `message`, then the texts of the sibling elements after it.
    if (const TiXmlElement* m = e->FirstChildElement("message")) {
      std::string text = m->GetText() ? m->GetText() : "";
      bool any = m->GetText() != nullptr;
      for (const TiXmlElement* s = m->NextSiblingElement(); s; s = s->NextSiblingElement())
        if (const char* t = s->GetText()) {
          text += t;
          any = true;
        }
      if (any) d.message = std::move(text);
    }
    if (const TiXmlElement* receivers = e->FirstChildElement("receivers"))
      for (const TiXmlElement* r = receivers->FirstChildElement("receiver"); r;
           r = r->NextSiblingElement("receiver"))
        d.receiver_ids.push_back(contact_id_from_uri(r->Attribute("uri")));
    out.push_back(std::move(d));
  }
  return out;
}

void apply_schedule_details(fx_list* list, const std::vector<ScheduleDetail>& details,
                            const ContactStore* store) {
  for (const auto& d : details) {
    fx_schedule_sms* sms = nullptr;
    for (fx_list* n = list; n != nullptr && sms == nullptr; n = n->next)
      if (static_cast<fx_schedule_sms*>(n->data)->id == d.id)
        sms = static_cast<fx_schedule_sms*>(n->data);
    if (sms == nullptr) continue;
    ChainBuilder receivers;
    for (long id : d.receiver_ids)
      if (fx_account* a = store != nullptr ? store->account_by_id(id) : nullptr)
        receivers.append(a);
    sms->version = d.version;
    set_text(sms->send_time, d.send_time ? d.send_time->c_str() : nullptr);
    set_text(sms->message, d.message ? d.message->c_str() : nullptr);
    free_nodes(sms->receivers);
    sms->receivers = receivers.release();
  }
}

int parse_schedule_set_answer(const char* body) {
  TiXmlDocument doc;
  if (!parse_xml(doc, body)) return 0;
  return attr_int(xml_path(&doc, {"results", "schedule-sms"}), "id");
}

}  // namespace tavrin::contacts
