// Contact records: creation, copying and freeing of the plain records of the
// public header (fx_account, fx_group, ...). Records are zero-filled at
// creation and their texts come from malloc, so a text handed to the client
// "new" can be released with free(). These helpers know nothing of threads:
// a record that sits in the installed store is touched only under the store
// lock (EngineContacts).
#pragma once

#include <cstdlib>
#include <memory>
#include <new>

#include "libtavrin.h"

namespace tavrin::contacts {

// malloc'd copy of s, nullptr for nullptr. Throws std::bad_alloc.
char* dup_text(const char* s);
// Replaces an owned text field with a copy of s (nullptr clears it).
void set_text(char*& field, const char* s);
// True for a non-null, non-empty text.
inline bool has_text(const char* s) {
  return s != nullptr && *s != '\0';
}

template <class T>
T* new_record() {
  void* p = std::calloc(1, sizeof(T));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<T*>(p);
}

void free_personal_info(fx_personal_info* info);
void free_account(fx_account* account);  // with its personal info
void free_group(fx_group* group);
void free_blocked(fx_blocked* blocked);
void free_qun_member(fx_qun_member* member);
void free_qun_info(fx_qun_info* info);  // with its member list
void free_qun(fx_qun* qun);             // with its info
// Frees texts and receiver nodes; the receivers are store accounts, not owned.
void free_schedule_sms(fx_schedule_sms* sms);

// Copies for the store's add operations: every text duplicated; an account's
// personal info is not copied (the copy has none).
fx_account* copy_account(const fx_account& src);
fx_group* copy_group(const fx_group& src);
fx_blocked* copy_blocked(const fx_blocked& src);
// Replaces the thirty profile fields of dst with copies of src's; dst keeps
// its refuse-SMS days, which come from presence.
void assign_profile(fx_personal_info& dst, const fx_personal_info& src);

struct RecordDeleter {
  void operator()(fx_personal_info* p) const { free_personal_info(p); }
  void operator()(fx_account* p) const { free_account(p); }
  void operator()(fx_group* p) const { free_group(p); }
  void operator()(fx_blocked* p) const { free_blocked(p); }
  void operator()(fx_qun_member* p) const { free_qun_member(p); }
  void operator()(fx_qun_info* p) const { free_qun_info(p); }
  void operator()(fx_qun* p) const { free_qun(p); }
  void operator()(fx_schedule_sms* p) const { free_schedule_sms(p); }
};
using PersonalInfoPtr = std::unique_ptr<fx_personal_info, RecordDeleter>;
using AccountPtr = std::unique_ptr<fx_account, RecordDeleter>;
using GroupPtr = std::unique_ptr<fx_group, RecordDeleter>;
using BlockedPtr = std::unique_ptr<fx_blocked, RecordDeleter>;
using QunPtr = std::unique_ptr<fx_qun, RecordDeleter>;
using QunMemberPtr = std::unique_ptr<fx_qun_member, RecordDeleter>;
using ScheduleSmsPtr = std::unique_ptr<fx_schedule_sms, RecordDeleter>;

struct TextFree {
  void operator()(char* p) const { std::free(p); }
};
using TextPtr = std::unique_ptr<char, TextFree>;

}  // namespace tavrin::contacts
