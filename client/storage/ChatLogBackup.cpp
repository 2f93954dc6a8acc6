#include "storage/ChatLogBackup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace tavrin::storage {

std::filesystem::path ChatLogBackup::pathFor(const std::filesystem::path& folder,
                                             std::int32_t contactId) {
  return folder / (std::to_string(contactId) + ".txt");
}

std::string ChatLogBackup::records(const std::vector<ChatLogLine>& newestFirst,
                                   const Encoder& encode) {
  // Each part carries its converted text's terminator, as the device wrote it.
  const std::string separator = encode(u"\n") + '\0';
  std::string bytes;
  for (const ChatLogLine& line : newestFirst) {
    bytes += encode(line.line);
    bytes += '\0';
    bytes += separator;
    bytes += encode(line.time);
    bytes += '\0';
    bytes += separator;
  }
  return bytes;
}

bool ChatLogBackup::write(const std::filesystem::path& file,
                          const std::vector<ChatLogLine>& newestFirst, const Encoder& encode) {
  return replaceFile(file, records(newestFirst, encode));
}

bool replaceFile(const std::filesystem::path& file, std::string_view bytes) {
  std::string temp = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());  // created 0600
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0)
      done += size_t(n);
    else
      ok = false;
  }
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && std::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tavrin::storage
