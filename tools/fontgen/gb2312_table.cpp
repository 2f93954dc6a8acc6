#include "gb2312_table.h"

#include <iconv.h>

#include <stdexcept>

namespace tavrin::tools {

Gb2312Table::Gb2312Table() : table_(kGbGlyphs, 0) {
  iconv_t cd = iconv_open("UTF-32LE", "GB2312");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: no GB2312 converter");
  for (int n = 0; n < kGbGlyphs; ++n) {
    char in[2] = {static_cast<char>(0xA1 + n / 94), static_cast<char>(0xA1 + n % 94)};
    char out[8] = {};
    char* inp = in;
    char* outp = out;
    size_t inleft = 2, outleft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<size_t>(-1)) continue;
    if (sizeof out - outleft != 4) continue;
    const auto* b = reinterpret_cast<const unsigned char*>(out);
    table_[n] =
        static_cast<char32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
  }
  iconv_close(cd);
}

}  // namespace tavrin::tools
