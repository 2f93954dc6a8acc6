#include "shell/switch_settings.h"

#include <tinyxml.h>

#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "shell/xml_file.h"

namespace tavrin::shell {

namespace {

struct Slot {
  const char* attribute;
  int SwitchSettings::*value;
};
constexpr Slot kSlots[] = {{"OnlineSound", &SwitchSettings::online_sound},
                           {"GroupSound", &SwitchSettings::group_sound},
                           {"BlockGroupMessages", &SwitchSettings::block_group_messages},
                           {"KeepChatLog", &SwitchSettings::keep_chat_log}};

bool read_switches(const TiXmlDocument& doc, SwitchSettings& s) {
  const TiXmlElement* root = doc.FirstChildElement("BriskLibTavrinSwitches");
  const TiXmlElement* e = root ? root->FirstChildElement("Switches") : nullptr;
  if (!e) return false;
  SwitchSettings read = s;
  for (const Slot& slot : kSlots) {
    int v = 0;
    if (e->QueryIntAttribute(slot.attribute, &v) == TIXML_SUCCESS) read.*slot.value = v != 0;
  }
  s = read;
  return true;
}

}  // namespace

std::filesystem::path switch_settings_file() {
  return shell::app_paths().settings_file().parent_path() / "BriskLibTavrinSwitches.xml";
}

SwitchSettings& switch_settings() {
  static SwitchSettings settings = [] {
    SwitchSettings s;
    s.online_sound = shell::client_settings().sound != 0;
    (void)load_switches(switch_settings_file(), s);
    return s;
  }();
  return settings;
}

bool load_switches(const std::filesystem::path& file, SwitchSettings& s) {
  TiXmlDocument doc;
  return doc.LoadFile(file.string().c_str()) && read_switches(doc, s);
}

bool load_switches_text(const std::string& xml, SwitchSettings& s) {
  TiXmlDocument doc;
  doc.Parse(xml.c_str());
  return !doc.Error() && read_switches(doc, s);
}

bool save_switches(const std::filesystem::path& file, const SwitchSettings& s) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  auto* root = new TiXmlElement("BriskLibTavrinSwitches");
  doc.LinkEndChild(root);
  auto* e = new TiXmlElement("Switches");
  for (const Slot& slot : kSlots) e->SetAttribute(slot.attribute, s.*slot.value);
  root->LinkEndChild(e);
  return shell::save_document_replacing(doc, file);
}

}  // namespace tavrin::shell
