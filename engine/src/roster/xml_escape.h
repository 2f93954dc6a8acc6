// Escaping of text placed into the XML bodies the engine sends, for the
// engine's C strings (the rule itself: tavrin/xml_escape.h).
#pragma once

#include <string>

namespace tavrin::contacts {

// Appends text (nullptr as empty) to out, escaped.
void append_escaped(std::string& out, const char* text);
std::string xml_escape(const char* text);

}  // namespace tavrin::contacts
