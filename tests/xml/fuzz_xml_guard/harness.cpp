// The XML guard against TinyXML: whatever text the guard lets through with
// a depth limit of 8, TinyXML must build no element deeper than 9 from it
// (8 open elements and a leaf)
// (in UTF-8 and in its default encoding). A text the guard refuses never
// reaches TinyXML here, as nowhere else.
#include <tavrin/xml_guard.h>
#include <tinyxml.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "tinyxml_depth.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  constexpr tavrin::xml::Limits limits{8, 1 << 20};
  if (tavrin::xml::check_xml(text, limits) != tavrin::xml::Verdict::ok) return 0;
  for (TiXmlEncoding encoding : {TIXML_ENCODING_UTF8, TIXML_DEFAULT_ENCODING}) {
    TiXmlDocument doc;
    doc.Parse(text.c_str(), nullptr, encoding);
    // A leaf element is one level more than the nesting TinyXML recursed into.
    if (tavrin::test::tinyxml_depth(doc) > limits.max_depth + 1) std::abort();
  }
  return 0;
}
