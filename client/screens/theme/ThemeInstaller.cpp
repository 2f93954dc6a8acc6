#include "screens/theme/ThemeInstaller.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>

#include "platform/image.h"
#include "platform/picture.h"
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
constexpr char kThemeFolder[] = "Theme";

std::u16string foreign_file(const fs::path& file) {
  return u"主题包中含有主题以外的文件 " + platform::utf8_to_utf16(file.generic_string()) +
         u"，未安装。";
}

std::u16string bad_image(const fs::path& image) {
  return u"主题包缺少可用的图片 " + platform::utf8_to_utf16(image.generic_string()) + u"，未安装。";
}

std::u16string too_large(const fs::path& image) {
  return u"主题包中的图片 " + platform::utf8_to_utf16(image.generic_string()) +
         u" 过大（最多 4096×4096 像素、32 MB），未安装。";
}

bool is_png(const fs::path& p) {
  std::string ext = p.extension().string();
  for (auto& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".png";
}

// An image of the theme: a ".png" in the theme folder or a folder below it.
bool is_theme_image(const fs::path& rel) {
  return is_png(rel) && rel.begin() != rel.end() && *rel.begin() == kThemeFolder &&
         std::next(rel.begin()) != rel.end();
}

// A background path of the theme file as a path below the install folder:
// the device's install folder "\Disk\BriskUI\" and relative paths stand
// for ours. Only an image in the theme folder counts; anything else (the
// database, the program, a file outside) is no background.
std::optional<fs::path> background_below(std::u16string_view path) {
  std::string p = platform::utf16_to_utf8(path);
  for (auto& c : p)
    if (c == '\\') c = '/';
  constexpr std::string_view kDevice = "/Disk/BriskUI/";
  auto rel = p.starts_with(kDevice) ? safe_relative(std::string_view(p).substr(kDevice.size()))
                                    : safe_relative(p);
  if (!rel || !is_theme_image(*rel)) return std::nullopt;
  return rel;
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
    if (is_png(*rel)) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(e.data.data());
      // The limits first, from the header alone: a small file may claim
      // gigabytes of pixels.
      const auto size = platform::picture_size(bytes, e.data.size());
      if (e.data.size() > platform::kMaxPictureBytes ||
          (size && (size->first > platform::kMaxPicturePixels ||
                    size->second > platform::kMaxPicturePixels ||
                    size->first * size->second > platform::kMaxPicturePixels))) {
        refusal = too_large(*rel);
        return std::nullopt;
      }
      if (!platform::decode_png_memory(bytes, e.data.size())) {
        refusal = bad_image(*rel);
        return std::nullopt;
      }
    }
    // The theme file and the theme's images, nothing else: a package must
    // not replace the program, the history, the settings or anything the
    // theme does not draw.
    const bool theme_file = *rel == fs::path(kThemeFileName);
    if (!theme_file && !is_theme_image(*rel)) {
      refusal = foreign_file(*rel);
      return std::nullopt;
    }
    if (theme_file) theme_text = &e.data;
    if (!in_package.insert(*rel).second) {  // two files of one name: which one is meant?
      refusal = kStrange;
      return std::nullopt;
    }
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
  const fs::path staged = scratch.path / "new", previous = scratch.path / "old";
  std::error_code ec;
  for (const auto& [rel, data] : plan->files) {
    const fs::path target = staged / rel;
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
  // The files replace the installed ones as a whole: each old file is set
  // aside first, and a move that fails puts every one back.
  struct Moved {
    fs::path rel, target, aside;
    bool had_old;
  };
  std::vector<Moved> moved;
  auto undo = [&] {
    std::error_code ignore;
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
      fs::remove(it->target, ignore);
      if (it->had_old) fs::rename(it->aside, it->target, ignore);
    }
  };
  for (const auto& [rel, data] : plan->files) {
    Moved m{rel, install_folder / rel, previous / rel, false};
    fs::create_directories(m.target.parent_path(), ec);
    if (!ec) fs::create_directories(m.aside.parent_path(), ec);
    std::error_code missing;  // a file not there yet is no error
    m.had_old = !ec && fs::exists(fs::symlink_status(m.target, missing));
    if (!ec && m.had_old) fs::rename(m.target, m.aside, ec);
    if (!ec) fs::rename(staged / rel, m.target, ec);
    if (ec) {
      std::fprintf(stderr, "tavrin: cannot install %s: %s\n", m.target.string().c_str(),
                   ec.message().c_str());
      std::error_code ignore;
      if (m.had_old && !fs::exists(fs::symlink_status(m.target, ignore)))
        fs::rename(m.aside, m.target, ignore);
      undo();
      result.refusal = kWriteFailed;
      return result;
    }
    moved.push_back(std::move(m));
  }
  for (const Moved& m : moved) result.written.push_back(m.rel);
  result.ok = true;
  return result;
}

}  // namespace tavrin::screens
