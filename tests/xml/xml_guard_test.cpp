// The XML guard's verdicts on the shapes that matter: depth counted as
// TinyXML nests (comments, CDATA, quoted values, unknown nodes and
// declarations neither hide nor fake an element), the limits, and the texts
// it refuses because TinyXML could read them differently. Every text the
// guard passes is parsed by TinyXML too, and the depth TinyXML built must
// agree with the guard's limit.
#include <gtest/gtest.h>
#include <tavrin/xml_guard.h>
#include <tinyxml.h>

#include <string>

#include "fuzz_xml_guard/tinyxml_depth.h"

namespace {

using tavrin::xml::check_xml;
using tavrin::xml::Limits;
using tavrin::xml::Verdict;

std::string nested(size_t levels, const std::string& tag = "a") {
  std::string out;
  for (size_t i = 0; i < levels; ++i) out += "<" + tag + ">";
  for (size_t i = 0; i < levels; ++i) out += "</" + tag + ">";
  return out;
}

struct Case {
  const char* name;
  std::string text;
  size_t max_depth;
  Verdict expected;
};

TEST(XmlGuard, VerdictsMatchWhatTinyXmlWouldBuild) {
  const Case cases[] = {
      {"a body of ours",
       R"(<?xml version="1.0" encoding="UTF-8" ?><results><contacts>)"
       R"(<buddy uri="sip:1@tavrin.test" a='x'/></contacts></results>)",
       3, Verdict::ok},
      {"at the limit", nested(4), 4, Verdict::ok},
      {"one over", nested(5), 4, Verdict::too_deep},
      {"siblings do not add up", "<r>" + std::string(2000, ' ') + "<b/><b></b><b x='1'/></r>", 2,
       Verdict::ok},
      {"unclosed elements nest", "<a><a><a>", 2, Verdict::too_deep},
      {"a comment hides end tags", "<a><!-- </a></a> --><b><c/></b></a>", 3, Verdict::ok},
      {"a comment hides no start tag", "<a><!-- x --><b><c><d/></c></b></a>", 2, Verdict::too_deep},
      {"CDATA hides end tags", "<a><![CDATA[</a></a>]]><b><c></c></b></a>", 2, Verdict::too_deep},
      {"quoted values hide end and empty tags", "<a x=\"</a>\" y='/>'><b z=\"</b>\"><c/></b></a>",
       1, Verdict::too_deep},
      {"quoted values hide end and empty tags (within)", "<a x=\"</a>\"><b z=\"/>\"/></a>", 2,
       Verdict::ok},
      {"an unknown node ends at its first '>'", "<r><1 x=\"><b><c><d/></c></b>\"></r>", 2,
       Verdict::too_deep},
      {"a DOCTYPE ends at its first '>'", "<!DOCTYPE a \"><a><b><c/></b></a>", 1,
       Verdict::too_deep},
      {"a processing instruction ends at its first '>'", "<r><?pi \"><b><c/></b>\"?></r>", 1,
       Verdict::too_deep},
      {"more end tags than start tags", "<a></a></a><a><a></a></a>", 8, Verdict::unreadable},
      {"a lead byte swallowing an end tag", "<a>\xF0</a><a>x</a>", 8, Verdict::unreadable},
      {"a stray continuation byte", "<a>\x80</a>", 8, Verdict::unreadable},
      {"a cut sequence at the end", "<a>x</a>\xE4\xB8", 8, Verdict::unreadable},
      {"whole sequences", "<a \xE4\xB8\xAD='\xC3\xA9'>\xF0\x9F\x98\x80</a>", 1, Verdict::ok},
      {"a declaration with more than name=value", "<?xml version=\"1.0\" x\"y?><a/>", 8,
       Verdict::unreadable},
      {"a declaration hiding a quote", "<?xml x=\"a'b\"?><a/>", 8, Verdict::unreadable},
      {"reading stops at NUL", std::string("<a>\0<b><c><d>", 13), 1, Verdict::ok},
  };
  for (const Case& c : cases) {
    const Limits limits{c.max_depth, 1 << 20};
    EXPECT_EQ(check_xml(c.text, limits), c.expected) << c.name;
    if (c.expected != Verdict::ok) continue;
    TiXmlDocument doc;
    doc.Parse(c.text.c_str(), nullptr, TIXML_ENCODING_UTF8);
    // A leaf element is one level more than the nesting TinyXML recursed into.
    EXPECT_LE(tavrin::test::tinyxml_depth(doc), c.max_depth + 1) << c.name;
  }
}

TEST(XmlGuard, TheHostileShapesAreRefusedWithoutParsing) {
  // The request body that took the server down, and a theme of the same kind.
  const std::string body = "<args>" + std::string(2000, 'x') + "</args>";
  std::string deep;
  for (int i = 0; i < 42000; ++i) deep += "<a>";
  EXPECT_EQ(check_xml("<args>" + deep, Limits{}), Verdict::too_deep);
  EXPECT_EQ(check_xml("<BriskLibTavrinTheme><Colors>" + deep, Limits{32, 1 << 20}),
            Verdict::too_deep);
  EXPECT_EQ(check_xml(body, Limits{32, 1000}), Verdict::too_large);
  EXPECT_EQ(check_xml(std::string(100, ' '), Limits{32, 99}), Verdict::too_large);
}

}  // namespace
