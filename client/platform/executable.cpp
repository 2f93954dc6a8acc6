#include "platform/executable.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tavrin::platform {

std::filesystem::path executable_path() {
  std::error_code ec;
  auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path{} : p;
}

std::filesystem::path executable_folder() {
  return executable_path().parent_path();
}

std::filesystem::path home_folder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size_t(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir)
    return {};
  return found->pw_dir;
}

}  // namespace tavrin::platform
