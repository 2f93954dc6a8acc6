#include "roster/xml_escape.h"

namespace tavrin::contacts {

void append_escaped(std::string& out, const char* text) {
  if (text == nullptr) return;
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += *p;
        break;
    }
  }
}

std::string xml_escape(const char* text) {
  std::string out;
  append_escaped(out, text);
  return out;
}

}  // namespace tavrin::contacts
