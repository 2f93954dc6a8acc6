// What the file picker lists of a folder: its sub-folders and the image
// files ("jpg", "jpeg", "bmp", "png", "gif", compared without regard to
// letter case), in the order the file system returns them. Hidden entries
// (names starting with ".") are left out. A folder that cannot be read
// lists nothing. Any thread.
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

// The folder the picker starts from: the user's home folder ("/" when the
// process has none).
std::filesystem::path device_root();

}  // namespace tavrin::screens
