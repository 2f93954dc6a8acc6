#include "shell/switch_settings.h"

#include <tinyxml.h>

#include "platform/input_panel.h"
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
constexpr const char* kTouchAttribute = "TouchKeyboard";

bool read_switches(const TiXmlDocument& doc, SwitchSettings& s) {
  const TiXmlElement* root = doc.FirstChildElement("BriskLibTavrinSwitches");
  const TiXmlElement* e = root ? root->FirstChildElement("Switches") : nullptr;
  if (!e) return false;
  SwitchSettings read = s;
  for (const Slot& slot : kSlots) {
    int v = 0;
    if (e->QueryIntAttribute(slot.attribute, &v) == TIXML_SUCCESS) read.*slot.value = v != 0;
  }
  // A value this client does not know (a later one's) means automatic.
  if (int v = 0; e->QueryIntAttribute(kTouchAttribute, &v) == TIXML_SUCCESS)
    read.touch_keyboard = v == kTouchAlways || v == kTouchNever ? v : kTouchAuto;
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
  return load_document_checked(doc, file) && read_switches(doc, s);
}

bool load_switches_text(const std::string& xml, SwitchSettings& s) {
  TiXmlDocument doc;
  return parse_document_checked(doc, xml, "switches text") && read_switches(doc, s);
}

bool save_switches(const std::filesystem::path& file, const SwitchSettings& s) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  auto* root = new TiXmlElement("BriskLibTavrinSwitches");
  doc.LinkEndChild(root);
  auto* e = new TiXmlElement("Switches");
  for (const Slot& slot : kSlots) e->SetAttribute(slot.attribute, s.*slot.value);
  e->SetAttribute(kTouchAttribute, s.touch_keyboard);
  root->LinkEndChild(e);
  return shell::save_document_replacing(doc, file);
}

bool touch_plate_wanted(int choice, const TouchMachine& machine) {
  if (machine.forced || choice == kTouchAlways) return true;
  if (choice == kTouchNever) return false;
  return machine.headless || !machine.keyboard;
}

TouchMachine& touch_machine() {
  static TouchMachine machine;
  return machine;
}

void apply_touch_keyboard() {
  if (auto* panel = platform::InputPanel::instance())
    panel->set_plate(touch_plate_wanted(switch_settings().touch_keyboard, touch_machine()));
}

}  // namespace tavrin::shell
