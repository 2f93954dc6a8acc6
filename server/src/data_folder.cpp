#include "data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tavrin::server {

namespace {

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string prepareDataFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::path path(dir);
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return failure("cannot make", dir);
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) return failure("cannot read", dir);
  if (!S_ISDIR(st.st_mode)) return dir + " is not a folder";
  if ((st.st_mode & S_ISVTX) != 0) return {};
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), st.st_mode & 07700) != 0)
    return failure("cannot narrow", dir);
  return {};
}

std::string narrowDatabaseFiles(const std::string& dbPath) {
  // SQLite gives the files it makes beside the database the database's own
  // mode, so a 0600 database keeps its -wal and -shm at 0600 too.
  int fd = ::open(dbPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return failure("cannot open", dbPath);
  ::close(fd);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    if (std::string err = narrowFile(dbPath + suffix); !err.empty()) return err;
  return {};
}

std::string narrowFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), st.st_mode & 0700) != 0)
    return failure("cannot narrow", path);
  return {};
}

}  // namespace tavrin::server
