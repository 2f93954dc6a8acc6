#include "shell/app_paths.h"

#include "platform/text_codec.h"

namespace tavrin::shell {

using platform::utf16_to_utf8;
using platform::utf8_to_utf16;

std::filesystem::path to_path(std::u16string_view text) {
  return utf16_to_utf8(text);
}
std::u16string from_path(const std::filesystem::path& path) {
  return utf8_to_utf16(path.string());
}

AppPaths AppPaths::form(const std::filesystem::path& folder) {
  std::u16string base = from_path(folder);
  if (base.empty() || base.back() != u'/') base.push_back(u'/');
  AppPaths p;
  p.install_folder = base;
  p.theme_folder = base + u"Theme/";
  p.database_path = base + u"DB/TavrinLog.db";
  p.font_file_path = base + u"DB/HZK20.FT";
  p.sounds_folder = base + u"Sounds/";
  return p;
}

std::filesystem::path AppPaths::settings_file() const {
  return to_path(settings_folder.empty() ? install_folder : settings_folder) /
         "BriskLibTavrinSetting.xml";
}

std::filesystem::path AppPaths::theme_file() const {
  return to_path(install_folder) / "BriskLibTavrinTheme.xml";
}

std::filesystem::path AppPaths::resolve(std::u16string_view path) const {
  std::u16string p(path);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  constexpr std::u16string_view kDevice = u"/Disk/BriskUI/";
  std::u16string base = install_folder;
  for (auto& c : base)
    if (c == u'\\') c = u'/';
  if (p.starts_with(kDevice)) return to_path(base + p.substr(kDevice.size()));
  if (!p.empty() && p.front() == u'/') return to_path(p);
  return to_path(base + p);
}

std::u16string AppPaths::stored(std::u16string_view path) const {
  std::u16string p(path);
  for (auto& c : p)
    if (c == u'/') c = u'\\';
  std::u16string base = install_folder;
  for (auto& c : base)
    if (c == u'/') c = u'\\';
  if (!base.empty() && base.back() != u'\\') base += u'\\';
  for (std::u16string_view folder : {std::u16string_view(u"\\Disk\\BriskUI\\"),
                                     std::u16string_view(base)})
    if (!folder.empty() && p.size() > folder.size() && p.starts_with(folder))
      return p.substr(folder.size());
  return std::u16string(path);
}

bool AppPaths::is_own_picture(const std::filesystem::path& file) const {
  std::error_code ec;
  const auto install = std::filesystem::weakly_canonical(resolve(install_folder), ec);
  const auto inside = std::filesystem::weakly_canonical(file, ec).lexically_relative(install);
  return inside.empty() || *inside.begin() == "..";
}

AppPaths& app_paths() {
  static AppPaths paths;
  return paths;
}

}  // namespace tavrin::shell
