// XML helpers for bodies the server writes and reads: escaping of attribute
// and element text (what users type goes into bodies of other users), and a
// checked parse of request bodies through TinyXML. Pure functions.
#pragma once

#include <tinyxml.h>

#include <memory>
#include <string>
#include <string_view>

namespace tavrin::server {

// Escapes & < > " ' for use inside attribute values and element text.
std::string xmlEscape(std::string_view text);
// Parses a body; null when it is not a well-formed document, or nests
// deeper or runs longer than any body of ours (the XML guard's check).
std::unique_ptr<TiXmlDocument> parseXml(std::string_view body);
// Walks child elements by name ("args", "contacts", ...); null when any is missing.
const TiXmlElement* xmlPath(const TiXmlNode* from, std::initializer_list<const char*> names);
// Attribute text, or the fallback when absent.
std::string xmlAttr(const TiXmlElement* e, const char* name, std::string_view fallback = {});
// Integer attribute; false when absent or not a number.
bool xmlIntAttr(const TiXmlElement* e, const char* name, long& out);
// The element's direct text, or empty.
std::string xmlText(const TiXmlElement* e);

}  // namespace tavrin::server
