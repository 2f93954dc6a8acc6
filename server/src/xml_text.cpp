#include "xml_text.h"

#include <tavrin/xml_escape.h>
#include <tavrin/xml_guard.h>

#include "sipc_message.h"

namespace tavrin::server {

namespace {
// Request bodies are already bounded by the framer; this is its largest bound.
constexpr tavrin::xml::Limits kXmlLimits{32, kMaxRegisteredBody};
}  // namespace

std::string xmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  tavrin::xml::append_escaped(out, text);
  return out;
}

std::unique_ptr<TiXmlDocument> parseXml(std::string_view body) {
  if (body.empty() || body.find('\0') != std::string_view::npos) return nullptr;
  // Bodies nest a few levels; a deeper one would take the event loop's stack.
  if (tavrin::xml::check_xml(body, kXmlLimits) != tavrin::xml::Verdict::ok) return nullptr;
  auto doc = std::make_unique<TiXmlDocument>();
  std::string text(body);
  doc->Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
  if (doc->Error() || !doc->RootElement()) return nullptr;
  return doc;
}

const TiXmlElement* xmlPath(const TiXmlNode* from, std::initializer_list<const char*> names) {
  const TiXmlNode* node = from;
  for (const char* name : names) {
    if (!node) return nullptr;
    node = node->FirstChildElement(name);
  }
  return node ? node->ToElement() : nullptr;
}

std::string xmlAttr(const TiXmlElement* e, const char* name, std::string_view fallback) {
  const char* v = e ? e->Attribute(name) : nullptr;
  return v ? std::string(v) : std::string(fallback);
}

bool xmlIntAttr(const TiXmlElement* e, const char* name, long& out) {
  const char* v = e ? e->Attribute(name) : nullptr;
  return v && parseLong(v, out);
}

std::string xmlText(const TiXmlElement* e) {
  const char* t = e ? e->GetText() : nullptr;
  return t ? std::string(t) : std::string();
}

}  // namespace tavrin::server
