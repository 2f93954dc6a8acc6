#include "roster/records.h"

#include <cstring>

#include "roster/list_chain.h"
#include "roster/personal_fields.h"

namespace tavrin::contacts {

char* dup_text(const char* s) {
  if (s == nullptr) return nullptr;
  char* copy = strdup(s);
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

void set_text(char*& field, const char* s) {
  char* copy = dup_text(s);
  std::free(field);
  field = copy;
}

void free_personal_info(fx_personal_info* info) {
  if (info == nullptr) return;
  for (const auto& f : kPersonalFields)
    if (!f.is_int) std::free(text_field(*info, f));
  std::free(info);
}

void free_account(fx_account* a) {
  if (a == nullptr) return;
  std::free(a->uri);
  std::free(a->local_name);
  std::free(a->buddy_lists);
  std::free(a->device_type);
  free_personal_info(a->personal_info);
  std::free(a);
}

void free_group(fx_group* g) {
  if (g == nullptr) return;
  std::free(g->name);
  std::free(g);
}

void free_blocked(fx_blocked* b) {
  if (b == nullptr) return;
  std::free(b->uri);
  std::free(b->local_name);
  std::free(b);
}

void free_qun_member(fx_qun_member* m) {
  if (m == nullptr) return;
  std::free(m->uri);
  std::free(m->nickname);
  std::free(m->oxanickname);
  std::free(m->client_type);
  std::free(m);
}

void free_qun_info(fx_qun_info* info) {
  if (info == nullptr) return;
  std::free(info->uri);
  std::free(info->name);
  std::free(info->introduce);
  std::free(info->bulletin);
  free_chain<fx_qun_member>(info->members);
  std::free(info);
}

void free_qun(fx_qun* q) {
  if (q == nullptr) return;
  std::free(q->uri);
  free_qun_info(q->info);
  std::free(q);
}

void free_schedule_sms(fx_schedule_sms* s) {
  if (s == nullptr) return;
  std::free(s->send_time);
  std::free(s->message);
  free_nodes(s->receivers);
  std::free(s);
}

fx_account* copy_account(const fx_account& src) {
  AccountPtr a(new_record<fx_account>());
  *a = src;
  a->uri = a->local_name = a->buddy_lists = a->device_type = nullptr;
  a->personal_info = nullptr;
  a->uri = dup_text(src.uri);
  a->local_name = dup_text(src.local_name);
  a->buddy_lists = dup_text(src.buddy_lists);
  a->device_type = dup_text(src.device_type);
  return a.release();
}

fx_group* copy_group(const fx_group& src) {
  GroupPtr g(new_record<fx_group>());
  g->id = src.id;
  g->name = dup_text(src.name);
  return g.release();
}

fx_blocked* copy_blocked(const fx_blocked& src) {
  BlockedPtr b(new_record<fx_blocked>());
  b->id = src.id;
  b->uri = dup_text(src.uri);
  b->local_name = dup_text(src.local_name);
  return b.release();
}

void assign_profile(fx_personal_info& dst, const fx_personal_info& src) {
  for (const auto& f : kPersonalFields) {
    if (f.is_int)
      int_field(dst, f) = int_field(const_cast<fx_personal_info&>(src), f);
    else
      set_text(text_field(dst, f), text_field(const_cast<fx_personal_info&>(src), f));
  }
}

}  // namespace tavrin::contacts
