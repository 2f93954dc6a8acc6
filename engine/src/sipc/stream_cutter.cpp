#include "sipc/stream_cutter.h"

#include <algorithm>
#include <utility>

namespace tavrin {

namespace {
constexpr std::string_view kBlankLine = "\r\n\r\n";
// Consumed bytes are dropped from the front once they are both this many and at
// least half the buffer, so each byte is moved a bounded number of times.
constexpr std::size_t kCompactAt = std::size_t{64} << 10;
}  // namespace

void sipc_stream_cutter::append(std::string_view bytes) {
  if (broken_ || bytes.empty()) return;
  if (pos_ == buf_.size()) {
    buf_.clear();
    pos_ = scan_ = 0;
  } else if (pos_ >= kCompactAt && pos_ * 2 >= buf_.size()) {
    buf_.erase(0, pos_);
    scan_ -= pos_;
    pos_ = 0;
  }
  buf_.append(bytes);
}

void sipc_stream_cutter::clear() {
  BodyLimit limit = std::move(limit_);
  *this = sipc_stream_cutter();
  limit_ = std::move(limit);
}

bool sipc_stream_cutter::mid_message() const {
  if (broken_) return false;
  return have_head_ || skip_ > 0 || pos_ < buf_.size();
}

std::size_t sipc_stream_cutter::missing() const {
  std::size_t avail = buf_.size() - pos_;
  if (have_head_) return need_ > avail ? need_ - avail : 0;
  return skip_ > avail ? skip_ - avail : 0;
}

sipc_cut sipc_stream_cutter::fail(std::string_view why) {
  broken_ = true;
  reason_ = why;
  buf_.clear();
  buf_.shrink_to_fit();
  pos_ = scan_ = 0;
  have_head_ = false;
  pending_ = sipc_message();
  return sipc_cut::reset;
}

sipc_cut sipc_stream_cutter::take(sipc_message& out) {
  if (broken_) return sipc_cut::reset;
  for (;;) {
    if (skip_ > 0) {
      std::size_t n = std::min(skip_, buf_.size() - pos_);
      pos_ += n;
      skip_ -= n;
      if (skip_ > 0) return sipc_cut::incomplete;
    }

    if (!have_head_) {
      // Blank lines between messages are keep-alive filler, not an empty head.
      while (buf_.size() - pos_ >= 2 && buf_[pos_] == '\r' && buf_[pos_ + 1] == '\n') pos_ += 2;
      scan_ = std::max(scan_, pos_);
      std::string_view all(buf_);
      std::size_t end = all.find(kBlankLine, scan_);
      if (end == std::string_view::npos) {
        // Allow for a blank line cut in the middle, so that read sizes never matter.
        if (buf_.size() - pos_ > max_head + kBlankLine.size() - 1) return fail("head too long");
        // Resume where a blank line split across appends could still begin.
        scan_ = std::max(pos_, buf_.size() >= 3 ? buf_.size() - 3 : std::size_t{0});
        return sipc_cut::incomplete;
      }
      if (end - pos_ > max_head) return fail("head too long");
      sipc_head head = sipc_parse_head(all.substr(pos_, end - pos_));
      if (head.result == sipc_head_result::bad_length) return fail("bad body length");
      pos_ = end + kBlankLine.size();
      scan_ = pos_;
      if (head.result == sipc_head_result::invalid) {
        // Its own "L" still marks where the next message starts.
        ++skipped_;
        skip_ = head.body_length;
        continue;
      }
      const std::size_t limit = limit_ ? limit_(head.message) : sipc_max_body;
      if (head.body_length > limit) {
        // Read past, never held, and handed out marked: an answer so its
        // transaction can fail, a request so its sender can be refused
        // (a request left unanswered would hold back whatever its sender
        // queued behind it).
        skip_ = head.body_length;
        while (head.message.remove_header("L")) {
        }
        head.message.body_dropped_ = true;
        out = std::move(head.message);
        return sipc_cut::message;
      }
      if (buf_.size() - pos_ >= head.body_length) {
        // The usual case: the body came with its head, so hand it out directly.
        head.message.body_.assign(buf_, pos_, head.body_length);
        pos_ += head.body_length;
        scan_ = pos_;
        out = std::move(head.message);
        return sipc_cut::message;
      }
      pending_ = std::move(head.message);
      need_ = head.body_length;
      have_head_ = true;
    }

    if (buf_.size() - pos_ < need_) return sipc_cut::incomplete;
    pending_.body_.assign(buf_, pos_, need_);
    pos_ += need_;
    scan_ = pos_;
    have_head_ = false;
    need_ = 0;
    out = std::move(pending_);
    pending_ = sipc_message();
    return sipc_cut::message;
  }
}

}  // namespace tavrin
