// Chat-text conversion for formatted instant messages: the text is an XML
// fragment of top-level Font elements. fx_msg_qt_format rewrites Color and
// Size for display and prints the document with TinyXML's printer;
// fx_msg_no_format strips the markup down to the bare text. Anything that is
// not such a fragment comes back as a copy. Any thread; no exception crosses.
#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "libtavrin.h"
#include "roster/records.h"
#include "roster/xml_read.h"

namespace {

using tavrin::contacts::dup_text;
using tavrin::contacts::parse_xml;

// Removes every occurrence of tag from text.
void remove_all(std::string& text, const std::string& tag) {
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at; (at = text.find(tag, from)) != std::string::npos; from = at + tag.size())
    out.append(text, from, at - from);
  out.append(text, from, std::string::npos);
  text.swap(out);
}

}  // namespace

extern "C" {

FX_API char* fx_msg_qt_format(const char* text) {
  if (text == nullptr) return nullptr;
  try {
    TiXmlDocument doc;
    if (!parse_xml(doc, text) || doc.FirstChildElement("Font") == nullptr) return dup_text(text);
    for (TiXmlElement* font = doc.FirstChildElement("Font"); font;
         font = font->NextSiblingElement("Font")) {
      int value = 0;
      if (font->QueryIntAttribute("Color", &value) == TIXML_SUCCESS) {
        char color[16];
        std::snprintf(color, sizeof color, "#%06x", static_cast<unsigned>(value) & 0xffffu);
        font->SetAttribute("Color", color);
      }
      if (font->QueryIntAttribute("Size", &value) == TIXML_SUCCESS)
        font->SetAttribute("Size", static_cast<int>(static_cast<long long>(value) - 6));
    }
    TiXmlPrinter printer;  // four-space indent, "\n" line ends
    doc.Accept(&printer);
    return dup_text(printer.CStr());
  } catch (...) {
    return nullptr;
  }
}

FX_API char* fx_msg_no_format(const char* text) {
  if (text == nullptr) return nullptr;
  try {
    {
      TiXmlDocument first;
      if (!parse_xml(first, text)) return dup_text(text);
    }
    std::string stripped(text);
    for (const char* tag : {"<I>", "</I>", "<B>", "</B>"}) remove_all(stripped, tag);
    TiXmlDocument doc;
    if (!parse_xml(doc, stripped.c_str()) || doc.FirstChildElement("Font") == nullptr)
      return dup_text(text);
    std::string plain;
    for (const TiXmlElement* font = doc.FirstChildElement("Font"); font;
         font = font->NextSiblingElement("Font"))
      if (const char* t = font->GetText()) plain += t;
    return dup_text(plain.c_str());
  } catch (...) {
    return nullptr;
  }
}

}  // extern "C"
