// The settings file, written with TinyXML's printer and read by position.
#include "shell/client_settings.h"

#include <tinyxml.h>

#include "shell/xml_file.h"

namespace tavrin::shell {

ClientSettings& client_settings() {
  static ClientSettings settings;
  return settings;
}

namespace {

bool read_settings(const TiXmlDocument& doc, ClientSettings& s) {
  const TiXmlElement* root = doc.FirstChildElement();
  const TiXmlElement* settings = root ? root->FirstChildElement("Settings") : nullptr;
  if (!settings) return false;
  struct Slot {
    const char* attribute;
    int32_t* value;
  };
  const Slot slots[] = {{"Status", &s.login_status},
                        {"Silence", &s.silence},
                        {"Sound", &s.sound},
                        {"Vibrate", &s.vibrate}};
  const TiXmlElement* e = settings->FirstChildElement();
  for (const Slot& slot : slots) {
    if (!e) break;
    int v = 0;
    if (e->QueryIntAttribute(slot.attribute, &v) == TIXML_SUCCESS) *slot.value = v;
    e = e->NextSiblingElement();
  }
  return true;
}

}  // namespace

bool load_settings(const std::filesystem::path& file, ClientSettings& s) {
  TiXmlDocument doc;
  return load_document_checked(doc, file) && read_settings(doc, s);
}

bool load_settings_text(const std::string& xml, ClientSettings& s) {
  TiXmlDocument doc;
  return parse_document_checked(doc, xml, "settings text") && read_settings(doc, s);
}

bool save_settings(const std::filesystem::path& file, const ClientSettings& s) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  auto* root = new TiXmlElement("BriskLibTavrinSetting");
  doc.LinkEndChild(root);
  add_fixed_messages(*root);
  auto* settings = new TiXmlElement("Settings");
  root->LinkEndChild(settings);
  struct Item {
    const char* element;
    const char* attribute;
    int32_t value;
  };
  const Item items[] = {{"LoginStatus", "Status", s.login_status},
                        {"bSilence", "Silence", s.silence},
                        {"bSound", "Sound", s.sound},
                        {"bVibrate", "Vibrate", s.vibrate}};
  for (const Item& item : items) {
    auto* e = new TiXmlElement(item.element);
    e->SetAttribute(item.attribute, item.value);
    settings->LinkEndChild(e);
  }
  return save_document_replacing(doc, file);
}

}  // namespace tavrin::shell
