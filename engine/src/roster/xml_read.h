// Reading the server's XML bodies with TinyXML: parsing a body as one
// document, walking an element path, reading attributes as texts (T) or
// integers (I, absent gives 0). Pure helpers, any thread.
#pragma once

#include <tinyxml.h>

#include <initializer_list>
#include <optional>
#include <string>

namespace tavrin::contacts {

using OptText = std::optional<std::string>;

// Parses body (UTF-8) into doc; false for nullptr, an empty body or an error,
// and, before TinyXML sees it, for a body nested deeper than 32 levels or
// longer than the largest body the engine takes in.
bool parse_xml(TiXmlDocument& doc, const char* body);
// The element reached from node through the named children, or nullptr.
const TiXmlElement* xml_path(const TiXmlNode* node, std::initializer_list<const char*> names);
// malloc'd copy of the attribute, nullptr when absent.
char* attr_dup(const TiXmlElement* e, const char* name);
OptText attr_opt(const TiXmlElement* e, const char* name);
// The attribute's base-10 value clamped to 32 bits; 0 when absent.
int attr_int(const TiXmlElement* e, const char* name);
// True when the attribute holds an integer (for "when it has an integer ...").
bool attr_int_if(const TiXmlElement* e, const char* name, int* value);

}  // namespace tavrin::contacts
