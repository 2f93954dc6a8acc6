#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

namespace tavrin::server {

int gVerbosity = 0;

void logAt(int level, const char* format, ...) {
  if (level > gVerbosity) return;
  // stderr is unbuffered: the line is put together first and written once,
  // so a logged request costs one write, not three, on the server's one
  // thread.
  char stamp[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(stamp, sizeof stamp, "%H:%M:%S", &tm);
  std::string line = std::string("[") + stamp + "] ";
  const size_t head = line.size();
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (n > 0) {
    line.resize(head + size_t(n) + 1);
    std::vsnprintf(line.data() + head, size_t(n) + 1, format, again);
    line.resize(head + size_t(n));
  }
  va_end(again);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace tavrin::server
