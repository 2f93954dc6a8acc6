#include "roster/xml_escape.h"

#include <tavrin/xml_escape.h>

namespace tavrin::contacts {

void append_escaped(std::string& out, const char* text) {
  if (text != nullptr) xml::append_escaped(out, text);
}

std::string xml_escape(const char* text) {
  std::string out;
  append_escaped(out, text);
  return out;
}

}  // namespace tavrin::contacts
