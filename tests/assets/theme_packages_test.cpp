// Theme packages below Themes/: each a folder with its preview and a real
// cabinet archive that holds the theme file and the images it points at,
// with paths that stay inside the install folder.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "asset_manifest.h"
#include "platform/image.h"

namespace {

using tavrin::test::install_path;

// Entry name ('\' turned into '/') to its bytes.
std::map<std::string, std::string> read_cab(const std::string& path) {
  std::map<std::string, std::string> out;
  archive* a = archive_read_new();
  archive_read_support_format_cab(a);
  if (archive_read_open_filename(a, path.c_str(), 16384) != ARCHIVE_OK) {
    archive_read_free(a);
    return out;
  }
  archive_entry* e = nullptr;
  while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
    std::string name = archive_entry_pathname(e);
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string data(static_cast<size_t>(archive_entry_size(e)), '\0');
    if (archive_read_data(a, data.data(), data.size()) != static_cast<la_ssize_t>(data.size()))
      data = "<unreadable>";
    out[name] = data;
  }
  archive_read_free(a);
  return out;
}

TEST(ThemePackages, EachThemeFolderHasAPreviewAndACabinet) {
  const auto m = tavrin::test::load_asset_manifest();
  ASSERT_GE(m.themes.size(), 2u);
  // The client lists every folder below Themes/: all of them must be packages.
  int folders = 0;
  for (const auto& d : std::filesystem::directory_iterator(install_path("Themes"))) {
    if (!d.is_directory()) continue;
    ++folders;
    SCOPED_TRACE(d.path().string());
    EXPECT_TRUE(tavrin::platform::decode_png_file((d.path() / "PreSee.png").string()).has_value());
    EXPECT_TRUE(std::filesystem::is_regular_file(d.path() / "Theme.cab"));
  }
  EXPECT_EQ(folders, static_cast<int>(m.themes.size()));
}

TEST(ThemePackages, CabinetsHoldTheThemeFileAndItsImagesInsideTheInstallFolder) {
  const auto m = tavrin::test::load_asset_manifest();
  for (const std::string& theme : m.themes) {
    SCOPED_TRACE(theme);
    const auto files = read_cab(install_path("Themes/" + theme + "/Theme.cab"));
    ASSERT_EQ(files.size(), m.cab_entries.size());
    for (const auto& [name, data] : files) {
      EXPECT_NE(name.front(), '/');
      EXPECT_EQ(name.find(".."), std::string::npos) << name;
    }
    for (const auto& entry : m.cab_entries) {
      const std::string name = tavrin::test::with_theme(entry.path, theme);
      ASSERT_EQ(files.count(name), 1u) << name;
      if (entry.width == 0) continue;
      const std::string& bytes = files.at(name);
      const auto img = tavrin::platform::decode_png_memory(
          reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ASSERT_TRUE(img.has_value()) << name;
      EXPECT_EQ(img->width, entry.width) << name;
      EXPECT_EQ(img->height, entry.height) << name;
    }

    // The theme file: twelve groups under Colors in the client's order, all
    // four background paths on the packaged background.
    TiXmlDocument doc;
    doc.Parse(files.at("BriskLibTavrinTheme.xml").c_str());
    ASSERT_FALSE(doc.Error()) << doc.ErrorDesc();
    const TiXmlElement* root = doc.RootElement();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->Value(), "BriskLibTavrinTheme");
    const TiXmlElement* colors = root->FirstChildElement("Colors");
    ASSERT_NE(colors, nullptr);
    const std::vector<std::string> order = {
        "BkColor",     "BottomColor",    "MenuColor", "EditColor",   "BtnColor",  "ListColor",
        "MsgBoxColor", "AnimationColor", "BkPath",    "LoginBkPath", "MsgBkPath", "MainBkPath"};
    std::vector<std::string> got;
    for (const TiXmlElement* e = colors->FirstChildElement(); e; e = e->NextSiblingElement())
      got.push_back(e->Value());
    EXPECT_EQ(got, order);
    double bg = -1;
    EXPECT_EQ(colors->FirstChildElement("BkColor")->QueryDoubleAttribute("BgColor", &bg),
              TIXML_SUCCESS);
    EXPECT_GE(bg, 0.0);
    EXPECT_LE(bg, 16777215.0);
    const std::string expected = "Theme\\" + theme + "\\bk.png";
    for (const auto& [group, attr] :
         std::vector<std::pair<const char*, const char*>>{{"BkPath", "TavrinBkPath"},
                                                          {"LoginBkPath", "TavrinLoginBkPath"},
                                                          {"MsgBkPath", "TavrinMsgBkPath"},
                                                          {"MainBkPath", "TavrinMainBkPath"}}) {
      const char* v = colors->FirstChildElement(group)->Attribute(attr);
      ASSERT_NE(v, nullptr) << group;
      EXPECT_EQ(std::string(v), expected);
    }
    EXPECT_EQ(files.count("Theme/" + theme + "/bk.png"), 1u);
  }
}

}  // namespace
