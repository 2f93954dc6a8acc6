#include "screens/theme/ThemeInstaller.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include "platform/image.h"
#include "platform/text_codec.h"

namespace tavrin::screens {

namespace fs = std::filesystem;
using platform::ArchiveEntry;

namespace {

constexpr char16_t kUnreadable[] = u"主题包无法打开，未安装。";
constexpr char16_t kOutside[] = u"主题包中有文件指向安装目录之外，未安装。";
constexpr char16_t kLink[] = u"主题包中含有链接，未安装。";
constexpr char16_t kStrange[] = u"主题包中含有无法安装的文件，未安装。";
constexpr char16_t kNoThemeFile[] = u"主题包的主题文件无法读取，未安装。";
constexpr char16_t kWriteFailed[] = u"主题包无法写入安装目录，未安装。";

std::u16string bad_image(const fs::path& image) {
  return u"主题包缺少可用的图片 " + platform::utf8_to_utf16(image.generic_string()) + u"，未安装。";
}

bool is_png(const fs::path& p) {
  std::string ext = p.extension().string();
  for (auto& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png";
}

// A background path of the theme file as a path below the install folder:
// the device's install folder "\Disk\BriskUI\" and relative paths stand
// for ours; anything else lies outside.
std::optional<fs::path> background_below(std::u16string_view path) {
  std::string p = platform::utf16_to_utf8(path);
  for (auto& c : p)
    if (c == '\\') c = '/';
  constexpr std::string_view kDevice = "/Disk/BriskUI/";
  if (p.starts_with(kDevice)) return safe_relative(std::string_view(p).substr(kDevice.size()));
  return safe_relative(p);
}

struct ScratchFolder {
  fs::path path;
  explicit ScratchFolder(const fs::path& inside) {
    std::string templ = (inside / ".theme-install-XXXXXX").string();
    if (const char* made = mkdtemp(templ.data())) path = made;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

}  // namespace

std::optional<fs::path> safe_relative(std::string_view name) {
  std::string n(name);
  for (auto& c : n)
    if (c == '\\') c = '/';
  if (n.empty() || n.front() == '/') return std::nullopt;
  if (n.size() >= 2 && n[1] == ':') return std::nullopt;  // a drive
  if (n.find('\0') != std::string::npos) return std::nullopt;
  fs::path out;
  size_t start = 0;
  while (start <= n.size()) {
    size_t end = n.find('/', start);
    if (end == std::string::npos) end = n.size();
    const std::string part = n.substr(start, end - start);
    if (part == "..") return std::nullopt;
    if (!part.empty() && part != ".") out /= part;
    start = end + 1;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

std::optional<PackagePlan> check_package(const std::vector<ArchiveEntry>& entries,
                                         const fs::path& install_folder, std::u16string& refusal) {
  PackagePlan plan;
  std::set<fs::path> in_package;
  const std::string* theme_text = nullptr;
  for (const ArchiveEntry& e : entries) {
    const auto rel = safe_relative(e.name);
    if (!rel) {
      refusal = kOutside;
      return std::nullopt;
    }
    if (e.kind == ArchiveEntry::Kind::kLink) {
      refusal = kLink;
      return std::nullopt;
    }
    if (e.kind == ArchiveEntry::Kind::kFolder) continue;
    if (e.kind != ArchiveEntry::Kind::kFile) {
      refusal = kStrange;
      return std::nullopt;
    }
    if (is_png(*rel) && !platform::decode_png_memory(
                            reinterpret_cast<const uint8_t*>(e.data.data()), e.data.size())) {
      refusal = bad_image(*rel);
      return std::nullopt;
    }
    if (*rel == fs::path(kThemeFileName)) theme_text = &e.data;
    in_package.insert(*rel);
    plan.files.emplace_back(*rel, &e.data);
  }
  if (!theme_text || !shell::load_theme_text(*theme_text, plan.theme)) {
    refusal = kNoThemeFile;
    return std::nullopt;
  }
  for (const std::u16string* path : {&plan.theme.bk_path, &plan.theme.login_bk_path,
                                     &plan.theme.msg_bk_path, &plan.theme.main_bk_path}) {
    const auto rel = background_below(*path);
    if (!rel) {
      refusal = bad_image(platform::utf16_to_utf8(*path));
      return std::nullopt;
    }
    if (in_package.count(*rel)) continue;
    std::error_code ec;
    const fs::path installed = install_folder / *rel;
    if (!fs::is_regular_file(installed, ec) || !platform::decode_png_file(installed.string())) {
      refusal = bad_image(*rel);
      return std::nullopt;
    }
  }
  return plan;
}

ThemeInstall install_theme_package(const fs::path& package, const fs::path& install_folder) {
  ThemeInstall result;
  const platform::ArchiveContents contents = platform::read_archive_file(package.string());
  if (!contents.ok) {
    std::fprintf(stderr, "tavrin: theme package %s: %s\n", package.string().c_str(),
                 contents.error.c_str());
    result.refusal = kUnreadable;
    return result;
  }
  const auto plan = check_package(contents.entries, install_folder, result.refusal);
  if (!plan) return result;
  // Every file into the scratch folder first.
  ScratchFolder scratch(install_folder);
  if (scratch.path.empty()) {
    result.refusal = kWriteFailed;
    return result;
  }
  std::error_code ec;
  for (const auto& [rel, data] : plan->files) {
    const fs::path target = scratch.path / rel;
    fs::create_directories(target.parent_path(), ec);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(data->data(), std::streamsize(data->size()));
    out.close();
    if (ec || !out) {
      result.refusal = kWriteFailed;
      return result;
    }
  }
  // Then into place. A folder where a file goes (or the reverse) stops the
  // install before anything moves.
  for (const auto& [rel, data] : plan->files) {
    const fs::path target = install_folder / rel;
    if (fs::is_directory(fs::symlink_status(target, ec))) {
      result.refusal = kWriteFailed;
      return result;
    }
    for (fs::path up = rel.parent_path(); !up.empty(); up = up.parent_path()) {
      const auto status = fs::symlink_status(install_folder / up, ec);
      if (fs::exists(status) && !fs::is_directory(status)) {
        result.refusal = kWriteFailed;
        return result;
      }
    }
  }
  for (const auto& [rel, data] : plan->files) {
    const fs::path target = install_folder / rel;
    fs::create_directories(target.parent_path(), ec);
    fs::rename(scratch.path / rel, target, ec);
    if (ec) {
      std::fprintf(stderr, "tavrin: cannot install %s: %s\n", target.string().c_str(),
                   ec.message().c_str());
      result.refusal = kWriteFailed;
      return result;
    }
    result.written.push_back(rel);
  }
  result.ok = true;
  return result;
}

}  // namespace tavrin::screens
