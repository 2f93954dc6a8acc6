// Escaping of text placed into the XML bodies the engine sends: in attribute
// values and element text, & < > " and ' become entities, so a name such as
// a"b<c reaches the server as typed and cannot add elements or attributes.
#pragma once

#include <string>

namespace tavrin::contacts {

// Appends text (nullptr as empty) to out, escaped.
void append_escaped(std::string& out, const char* text);
std::string xml_escape(const char* text);

}  // namespace tavrin::contacts
