// The theme file: one table of groups and attributes drives both the
// writer and the positional reader, so their orders cannot drift apart.
#include "shell/theme_colors.h"

#include "shell/app_paths.h"

#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <variant>
#include <vector>

#include "platform/text_codec.h"
#include "shell/xml_file.h"

namespace tavrin::shell {
namespace {

using Field =
    std::variant<uint32_t ThemeColors::*, int32_t ThemeColors::*, std::u16string ThemeColors::*>;
struct Attribute {
  const char* name;
  Field field;
};
struct Group {
  const char* element;
  std::vector<Attribute> attributes;
};

using T = ThemeColors;
const std::vector<Group>& groups() {
  static const std::vector<Group> table = {
      {"BkColor",
       {{"BgColor", &T::bg_color},
        {"LineColor", &T::line_color},
        {"BgAlpha", &T::bg_alpha},
        {"BgTextColor", &T::bg_text_color}}},
      {"BottomColor",
       {{"BottomBkColor", &T::bottom_bk_color},
        {"BottomBgAlpha", &T::bottom_bg_alpha},
        {"BottomTextColor", &T::bottom_text_color}}},
      {"MenuColor",
       {{"MenuBkColor", &T::menu_bk_color},
        {"MenuBgAlpha", &T::menu_bg_alpha},
        {"MenuTextColor", &T::menu_text_color}}},
      {"EditColor",
       {{"EditBkColor", &T::edit_bk_color},
        {"EditOutLineColor", &T::edit_out_line_color},
        {"EditInLineColor", &T::edit_in_line_color},
        {"EditBgAlpha", &T::edit_bg_alpha},
        {"EditTextColor", &T::edit_text_color}}},
      {"BtnColor",
       {{"BtnBkColor", &T::btn_bk_color},
        {"BtnBgAlpha", &T::btn_bg_alpha},
        {"BtnTextColor", &T::btn_text_color}}},
      {"ListColor",
       {{"ListBkColor", &T::list_bk_color},
        {"ListLineColor", &T::list_line_color},
        {"ListBgAlpha", &T::list_bg_alpha},
        {"ListTextColor", &T::list_text_color}}},
      {"MsgBoxColor",
       {{"MsgBoxBkColor", &T::msg_box_bk_color},
        {"MsgBoxBgAlpha", &T::msg_box_bg_alpha},
        {"MsgBoxTextColor", &T::msg_box_text_color}}},
      {"AnimationColor",
       {{"AnimationBkColor", &T::animation_bk_color},
        {"AnimationBgAlpha", &T::animation_bg_alpha}}},
      {"BkPath", {{"TavrinBkPath", &T::bk_path}}},
      {"LoginBkPath", {{"TavrinLoginBkPath", &T::login_bk_path}}},
      {"MsgBkPath", {{"TavrinMsgBkPath", &T::msg_bk_path}}},
      {"MainBkPath", {{"TavrinMainBkPath", &T::main_bk_path}}},
  };
  return table;
}

void read_attribute(const TiXmlElement& e, const Attribute& a, ThemeColors& theme) {
  if (auto colour = std::get_if<uint32_t T::*>(&a.field)) {
    double d = 0;
    if (e.QueryDoubleAttribute(a.name, &d) != TIXML_SUCCESS) return;
    // Converting a negative, huge or NaN value to a colour is undefined;
    // such a value keeps the colour we have.
    if (!(d >= 0.0 && d <= 4294967295.0)) return;
    theme.*(*colour) = uint32_t(d);
  } else if (auto alpha = std::get_if<int32_t T::*>(&a.field)) {
    int v = 0;
    if (e.QueryIntAttribute(a.name, &v) != TIXML_SUCCESS) return;
    // The blends shift and scale by the alpha; keep it in their range.
    theme.*(*alpha) = std::clamp(v, 0, 255);
  } else if (auto path = std::get_if<std::u16string T::*>(&a.field)) {
    if (const char* text = e.Attribute(a.name)) theme.*(*path) = platform::utf8_to_utf16(text);
  }
}

}  // namespace

ThemeColors& theme_colors() {
  static ThemeColors theme;
  return theme;
}

namespace {

bool read_theme(const TiXmlDocument& doc, ThemeColors& theme) {
  const TiXmlElement* root = doc.FirstChildElement();
  const TiXmlElement* colors = root ? root->FirstChildElement("Colors") : nullptr;
  if (!colors) return false;
  const TiXmlElement* e = colors->FirstChildElement();
  for (const Group& g : groups()) {
    if (!e) break;
    for (const Attribute& a : g.attributes) read_attribute(*e, a, theme);
    e = e->NextSiblingElement();
  }
  return true;
}

}  // namespace

bool load_theme(const std::filesystem::path& file, ThemeColors& theme) {
  TiXmlDocument doc;
  return load_document_checked(doc, file) && read_theme(doc, theme);
}

bool load_theme_text(const std::string& xml, ThemeColors& theme) {
  TiXmlDocument doc;
  return parse_document_checked(doc, xml, "theme text") && read_theme(doc, theme);
}

bool save_theme(const std::filesystem::path& file, const ThemeColors& theme) {
  TiXmlDocument doc;
  doc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
  auto* root = new TiXmlElement("BriskLibTavrinTheme");
  doc.LinkEndChild(root);
  add_fixed_messages(*root);
  auto* colors = new TiXmlElement("Colors");
  root->LinkEndChild(colors);
  for (const Group& g : groups()) {
    auto* e = new TiXmlElement(g.element);
    for (const Attribute& a : g.attributes) {
      if (auto colour = std::get_if<uint32_t T::*>(&a.field)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%f", double(theme.*(*colour)));
        e->SetAttribute(a.name, buf);
      } else if (auto alpha = std::get_if<int32_t T::*>(&a.field)) {
        e->SetAttribute(a.name, theme.*(*alpha));
      } else if (auto path = std::get_if<std::u16string T::*>(&a.field)) {
        // Below the install folder: relative to it, so a theme file
        // holds wherever the client is installed (old files with the
        // device's folder still read, see AppPaths::resolve).
        e->SetAttribute(a.name,
                        platform::utf16_to_utf8(app_paths().stored(theme.*(*path))).c_str());
      }
    }
    colors->LinkEndChild(e);
  }
  return save_document_replacing(doc, file);
}

}  // namespace tavrin::shell
