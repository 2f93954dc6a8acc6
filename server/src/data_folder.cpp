#include "data_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace tavrin::server {

namespace {

std::string failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// What the marker says: the server made the folder, or took one it found.
constexpr const char* kMade = "origin=made";
constexpr const char* kTaken = "origin=taken";

std::string markerPath(const std::string& dir) {
  return dir + "/" + kDataMarker;
}

// The marker's origin line, or "" when there is no marker.
std::string readMarker(const std::string& dir) {
  std::ifstream in(markerPath(dir));
  if (!in) return {};
  std::string line, origin = kTaken;
  while (std::getline(in, line))
    if (line.rfind("origin=", 0) == 0) origin = line;
  return origin;
}

std::string writeMarker(const std::string& dir, const char* origin) {
  const std::string path = markerPath(dir);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return failure("cannot write", path);
  const std::string text = std::string("This folder holds the data of a tavrin-server.\n") + origin +
                           "\n";
  const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
  ::close(fd);
  return ok ? std::string() : failure("cannot write", path);
}

enum class Found { kMissing, kOurs, kOursBefore, kEmpty, kForeign, kNotFolder, kUnreadable };

Found look(const std::string& dir, std::string* why) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0) {
    if (errno == ENOENT) return Found::kMissing;
    *why = failure("cannot read", dir);
    return Found::kUnreadable;
  }
  if (!S_ISDIR(st.st_mode)) return Found::kNotFolder;
  if (!readMarker(dir).empty()) return Found::kOurs;
  std::error_code ec;
  // An earlier version left its database (or, with --memory, only its sign-in keys).
  if (std::filesystem::exists(dir + "/tavrin-server.db", ec) ||
      std::filesystem::exists(dir + "/tls/ca.pem", ec))
    return Found::kOursBefore;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) {
    *why = "cannot read " + dir + ": " + ec.message();
    return Found::kUnreadable;
  }
  return it == std::filesystem::directory_iterator() ? Found::kEmpty : Found::kForeign;
}

std::string foreign(const std::string& dir) {
  return dir + " holds files tavrin-server did not make; give it an empty folder or a path " +
         "that does not exist yet (it makes the folder itself)";
}

}  // namespace

std::string claimDataFolder(const std::string& dir, std::string* warning) {
  std::string why;
  switch (look(dir, &why)) {
    case Found::kUnreadable:
      return why;
    case Found::kNotFolder:
      return dir + " is not a folder";
    case Found::kForeign:
      return foreign(dir);
    case Found::kMissing: {
      std::error_code ec;
      std::filesystem::path path(dir);
      if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
      if (::mkdir(dir.c_str(), 0700) != 0) return failure("cannot make", dir);
      // The umask may have taken more than 077 away: the owner needs all three.
      if (::chmod(dir.c_str(), 0700) != 0) return failure("cannot narrow", dir);
      return writeMarker(dir, kMade);
    }
    case Found::kEmpty:
    case Found::kOursBefore: {
      if (std::string err = writeMarker(dir, kTaken); !err.empty()) return err;
      break;
    }
    case Found::kOurs:
      if (readMarker(dir) == kMade) return prepareDataFolder(dir);
      break;
  }
  struct stat st {};
  if (warning && ::stat(dir.c_str(), &st) == 0 && (st.st_mode & 077) != 0 &&
      (st.st_mode & S_ISVTX) == 0)
    *warning = dir + " may be entered by others (mode " +
               std::to_string((st.st_mode >> 6) & 7) + std::to_string((st.st_mode >> 3) & 7) +
               std::to_string(st.st_mode & 7) +
               "); the server did not make it and leaves it so: chmod 700 it";
  return {};
}

std::string checkDataFolder(const std::string& dir, bool mustExist) {
  std::string why;
  switch (look(dir, &why)) {
    case Found::kUnreadable:
      return why;
    case Found::kNotFolder:
      return dir + " is not a folder";
    case Found::kForeign:
      return foreign(dir);
    case Found::kMissing:
      return mustExist ? dir + " does not exist" : std::string();
    default:
      return {};
  }
}

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
