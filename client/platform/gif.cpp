#include "platform/gif.h"

#include <array>
#include <vector>

#include "platform/picture.h"

namespace tavrin::platform {
namespace {

constexpr int kMaxCodes = 4096;

// The image's data: its sub-blocks joined, from `at` up to the empty one.
std::vector<uint8_t> sub_blocks(const uint8_t* d, size_t n, size_t& at) {
  std::vector<uint8_t> out;
  while (at < n && d[at] != 0) {
    const size_t length = d[at];
    if (at + 1 + length > n) break;  // cut short: what there is
    out.insert(out.end(), d + at + 1, d + at + 1 + length);
    at += 1 + length;
  }
  ++at;
  return out;
}

// LZW codes of `min_size` + 1 bits and up, least significant bit first,
// into colour indices; decoding stops at the end code, a code that cannot
// be, or when every pixel has its index. How many pixels got one.
size_t decode_lzw(const std::vector<uint8_t>& data, int min_size, std::vector<uint8_t>& indices) {
  const int clear = 1 << min_size, end = clear + 1;
  std::array<uint16_t, kMaxCodes> prefix{};
  std::array<uint8_t, kMaxCodes> suffix{}, first{};
  std::array<uint16_t, kMaxCodes> length{};
  for (int c = 0; c < clear; ++c) suffix[size_t(c)] = first[size_t(c)] = uint8_t(c), length[size_t(c)] = 1;
  int size = min_size + 1, next = clear + 2, previous = -1;
  size_t filled = 0, bit = 0;
  const size_t bits = data.size() * 8;
  std::array<uint8_t, kMaxCodes> stack{};
  while (filled < indices.size() && bit + size_t(size) <= bits) {
    int code = 0;
    for (int i = 0; i < size; ++i, ++bit) code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
    if (code == clear) {
      size = min_size + 1, next = clear + 2, previous = -1;
      continue;
    }
    if (code == end) break;
    int emit = code;
    if (previous < 0) {
      if (code >= clear) break;  // nothing to build on
    } else if (code < next) {
      if (next < kMaxCodes) {
        prefix[size_t(next)] = uint16_t(previous);
        suffix[size_t(next)] = first[size_t(code)];
        first[size_t(next)] = first[size_t(previous)];
        length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
        ++next;
      }
    } else if (code == next && next < kMaxCodes) {
      prefix[size_t(next)] = uint16_t(previous);
      suffix[size_t(next)] = first[size_t(previous)];
      first[size_t(next)] = first[size_t(previous)];
      length[size_t(next)] = uint16_t(length[size_t(previous)] + 1);
      ++next;
    } else {
      break;  // a code past the table: the rest is noise
    }
    // The code's string, last byte first.
    int depth = length[size_t(emit)];
    for (int c = emit, i = depth - 1; i >= 0; c = prefix[size_t(c)], --i) stack[size_t(i)] = suffix[size_t(c)];
    for (int i = 0; i < depth && filled < indices.size(); ++i) indices[filled++] = stack[size_t(i)];
    if (next == (1 << size) && size < 12) ++size;
    previous = code;
  }
  return filled;
}

}  // namespace

std::optional<ArgbImage> decode_gif(const uint8_t* d, size_t n) {
  if (d == nullptr || n < 13) return std::nullopt;
  std::array<uint32_t, 256> global{}, local{};
  int global_count = 0;
  size_t at = 13;
  if (d[10] & 0x80) {
    global_count = 2 << (d[10] & 7);
    if (at + size_t(3 * global_count) > n) return std::nullopt;
    for (int i = 0; i < global_count; ++i, at += 3)
      global[size_t(i)] = premultiply_argb(d[at], d[at + 1], d[at + 2], 0xFF);
  }
  int transparent = -1;
  while (at < n) {
    if (d[at] == 0x21) {  // an extension; a graphic control one names the transparent colour
      if (at + 2 > n) return std::nullopt;
      if (d[at + 1] == 0xF9 && at + 7 <= n && d[at + 2] >= 4)
        transparent = (d[at + 3] & 1) ? d[at + 6] : -1;
      at += 2;
      (void)sub_blocks(d, n, at);
      continue;
    }
    if (d[at] != 0x2C || at + 10 > n) return std::nullopt;
    const int width = int(d[at + 5] | d[at + 6] << 8), height = int(d[at + 7] | d[at + 8] << 8);
    const uint8_t flags = d[at + 9];
    at += 10;
    if (width <= 0 || height <= 0 || long(width) * height > kMaxPicturePixels) return std::nullopt;
    const std::array<uint32_t, 256>* colours = &global;
    int count = global_count;
    if (flags & 0x80) {
      count = 2 << (flags & 7);
      if (at + size_t(3 * count) > n) return std::nullopt;
      for (int i = 0; i < count; ++i, at += 3)
        local[size_t(i)] = premultiply_argb(d[at], d[at + 1], d[at + 2], 0xFF);
      colours = &local;
    }
    if (at >= n || d[at] < 2 || d[at] > 8) return std::nullopt;
    const int min_size = d[at++];
    std::vector<uint8_t> indices(size_t(width) * size_t(height), 0);
    const size_t filled = decode_lzw(sub_blocks(d, n, at), min_size, indices);
    ArgbImage out;
    out.width = width;
    out.height = height;
    out.pixels.assign(indices.size(), 0);
    // Interlaced rows come in four passes: every 8th from 0, from 4, every
    // 4th from 2, every 2nd from 1.
    std::vector<int> rows;
    if (flags & 0x40) {
      for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < height; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < height; ++y) rows.push_back(y);
    }
    for (size_t r = 0; r < rows.size(); ++r)
      for (int x = 0; x < width; ++x) {
        const size_t at_index = r * size_t(width) + size_t(x);
        if (at_index >= filled) break;
        const int i = indices[at_index];
        if (i == transparent || i >= count) continue;
        out.pixels[size_t(rows[r]) * size_t(width) + size_t(x)] = (*colours)[size_t(i)];
      }
    return out;
  }
  return std::nullopt;
}

}  // namespace tavrin::platform
