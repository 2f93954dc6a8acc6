#include "roster/xml_read.h"

#include <tavrin/xml_guard.h>

#include <cstring>

#include "roster/contact_id.h"
#include "roster/records.h"
#include "sipc/message.h"

namespace tavrin::contacts {

namespace {
constexpr std::size_t kUtf8Slack = 8;  // longer than any UTF-8 sequence
// No body the engine accepts is longer (the contact list's is the longest);
// none of the server's nests deeper than a few levels.
constexpr tavrin::xml::Limits kXmlLimits{32, tavrin::sipc_max_large_body};
}  // namespace

bool parse_xml(TiXmlDocument& doc, const char* body) {
  if (body == nullptr || *body == '\0') return false;
  // TinyXML recurses once per nesting level: a server's deep body must not
  // reach it.
  if (tavrin::xml::check_xml(std::string_view(body, std::strlen(body)), kXmlLimits) !=
      tavrin::xml::Verdict::ok)
    return false;
  // TinyXML steps over a whole UTF-8 sequence by its lead byte, so a body
  // that ends inside a sequence would make it read past the terminator.
  // Trailing NULs give such a step somewhere harmless to land.
  std::string padded(body);
  padded.append(kUtf8Slack, '\0');
  doc.Parse(padded.c_str(), nullptr, TIXML_ENCODING_UTF8);
  return !doc.Error();
}

const TiXmlElement* xml_path(const TiXmlNode* node, std::initializer_list<const char*> names) {
  const TiXmlElement* e = nullptr;
  for (const char* name : names) {
    if (node == nullptr) return nullptr;
    e = node->FirstChildElement(name);
    node = e;
  }
  return e;
}

char* attr_dup(const TiXmlElement* e, const char* name) {
  return e == nullptr ? nullptr : dup_text(e->Attribute(name));
}

OptText attr_opt(const TiXmlElement* e, const char* name) {
  const char* v = e == nullptr ? nullptr : e->Attribute(name);
  return v == nullptr ? OptText() : OptText(v);
}

int attr_int(const TiXmlElement* e, const char* name) {
  return e == nullptr ? 0 : static_cast<int>(to_int32(e->Attribute(name)));
}

bool attr_int_if(const TiXmlElement* e, const char* name, int* value) {
  return e != nullptr && e->QueryIntAttribute(name, value) == TIXML_SUCCESS;
}

}  // namespace tavrin::contacts
