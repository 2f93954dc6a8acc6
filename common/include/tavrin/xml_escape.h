// Escaping of text placed into XML: in attribute values and element text,
// & < > " and ' become entities, so a name such as a"b<c arrives as typed and
// cannot add elements or attributes. The engine and the server both write
// XML bodies with it.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::xml {

inline void append_escaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
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
        out += c;
    }
  }
}

}  // namespace tavrin::xml
