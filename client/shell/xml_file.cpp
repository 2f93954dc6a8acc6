#include "shell/xml_file.h"

#include <tinyxml.h>
#include <unistd.h>

namespace tavrin::shell {

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
