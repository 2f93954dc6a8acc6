// TextWriter: appends one message to a string piece by piece. The string
// grows once for the expected size (and in large steps past it), and each
// piece is copied inline: a literal's length is known where it is written,
// so short constant pieces cost a few moves rather than a call each. The
// destructor trims the string to what was written.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

namespace tavrin::server {

class TextWriter {
 public:
  TextWriter(std::string& out, size_t expected) : out_(out) {
    const size_t start = out_.size();
    out_.resize(start + expected);
    at_ = out_.data() + start;
    end_ = out_.data() + out_.size();
  }
  ~TextWriter() { out_.resize(size_t(at_ - out_.data())); }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  // Inlined wherever it is written, so that a literal's copy is a few moves.
  [[gnu::always_inline]] TextWriter& operator<<(std::string_view s) {
    if (s.empty()) return *this;  // an empty view may have no data to copy from
    room(s.size());
    std::memcpy(at_, s.data(), s.size());
    at_ += s.size();
    return *this;
  }
  TextWriter& operator<<(long n) {
    room(20);
    at_ = std::to_chars(at_, at_ + 20, n).ptr;
    return *this;
  }

 private:
  [[gnu::always_inline]] void room(size_t n) {
    if (size_t(end_ - at_) < n) grow(n);
  }
  [[gnu::noinline]] void grow(size_t n) {
    const size_t used = size_t(at_ - out_.data());
    out_.resize(std::max(2 * out_.size(), used + n));
    at_ = out_.data() + used;
    end_ = out_.data() + out_.size();
  }

  std::string& out_;
  char* at_;
  char* end_;
};

}  // namespace tavrin::server
