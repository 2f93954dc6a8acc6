// What the file picker lists of a folder: its sub-folders and the image
// files ("jpg", "jpeg", "bmp", "png", "gif", compared without regard to
// letter case): folders first, then files, each by name (letters without
// regard to case), so that every machine lists a folder alike. Hidden
// entries (names starting with ".") are left out. A folder that cannot be
// read lists nothing. Any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::screens {

struct FolderEntry {
  std::u16string name;
  std::filesystem::path path;  // folder path and name
  bool folder = false;
};

// Whether a file name ends in one of the five image extensions.
bool is_image_name(std::u16string_view name);

std::vector<FolderEntry> list_folder(const std::filesystem::path& folder);

// The top of the picker's folder tree ("设备"): the file system's root.
std::filesystem::path device_root();
// The folder the picker opens in: the user's home folder (the root when the
// process has none).
std::filesystem::path start_folder();

}  // namespace tavrin::screens
