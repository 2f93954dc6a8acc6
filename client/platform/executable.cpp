#include "platform/executable.h"

namespace tavrin::platform {

std::filesystem::path executable_path() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path{} : p;
}

std::filesystem::path executable_folder() {
  return executable_path().parent_path();
}

}  // namespace tavrin::platform
