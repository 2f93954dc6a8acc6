#include "shell/xml_file.h"

#include <tavrin/xml_guard.h>
#include <tinyxml.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

namespace tavrin::shell {

namespace {
// The files hold a few dozen numbers; theme packages bring their own, so
// the bounds matter.
constexpr tavrin::xml::Limits kFileLimits{32, 64 * 1024};
}  // namespace

bool parse_document_checked(TiXmlDocument& doc, const std::string& text, const char* what) {
  const tavrin::xml::Verdict v = tavrin::xml::check_xml(text, kFileLimits);
  if (v != tavrin::xml::Verdict::ok) {
    std::fprintf(stderr, "tavrin: %s: %s; using the defaults\n", what, tavrin::xml::describe(v));
    return false;
  }
  doc.Parse(text.c_str());
  return !doc.Error();
}

bool load_document_checked(TiXmlDocument& doc, const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  // One byte over the bound is enough to know the file is too large.
  std::string text(kFileLimits.max_bytes + 1, '\0');
  in.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(in.gcount()));
  return parse_document_checked(doc, text, file.string().c_str());
}

bool save_document_replacing(TiXmlDocument& doc, const std::filesystem::path& file) {
  std::filesystem::path temp = file;
  temp += ".new" + std::to_string(getpid());
  if (!doc.SaveFile(temp.string().c_str())) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) std::filesystem::remove(temp, ec);
  return !ec;
}

void add_fixed_messages(TiXmlElement& root) {
  auto* messages = new TiXmlElement("Messages");
  auto* welcome = new TiXmlElement("Welcome");
  welcome->LinkEndChild(new TiXmlText("Welcome to BriskLibtavrin"));
  auto* farewell = new TiXmlElement("Farewell");
  farewell->LinkEndChild(new TiXmlText("Thank you for using BriskLibtavrin"));
  messages->LinkEndChild(welcome);
  messages->LinkEndChild(farewell);
  root.LinkEndChild(messages);
}

}  // namespace tavrin::shell
