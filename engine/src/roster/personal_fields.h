// The thirty profile attributes of a `personal` element, in record order,
// with where each lands in fx_personal_info. Shared by the parsers and by
// the code that frees and copies profiles, so the list exists once.
#pragma once

#include <array>
#include <cstddef>

#include "libtavrin.h"

namespace tavrin::contacts {

struct PersonalField {
  const char* attribute;
  bool is_int;
  std::size_t offset;
};

extern const std::array<PersonalField, 30> kPersonalFields;

inline char*& text_field(fx_personal_info& info, const PersonalField& f) {
  return *reinterpret_cast<char**>(reinterpret_cast<char*>(&info) + f.offset);
}
inline int& int_field(fx_personal_info& info, const PersonalField& f) {
  return *reinterpret_cast<int*>(reinterpret_cast<char*>(&info) + f.offset);
}

}  // namespace tavrin::contacts
