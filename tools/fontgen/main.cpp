// tavrin_fontgen: writes the client's bitmap font "HZK20.FT" (every GB2312
// code in order, 60 bytes a glyph) and an enlarged sample sheet.
//   tavrin_fontgen --font FILE --family NAME --out HZK20.FT [--sample sheet.png]
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "box_drawing.h"
#include "gb2312_table.h"
#include "glyph_rasterizer.h"
#include "sample_sheet.h"

namespace {

const std::vector<std::string> kSampleLines = {
    "塔文 Tavrin：登录状态：在线(自动拨号)",
    "号码：123456789  2026-12-10 12:30:45",
    "Welcome to BriskLibtavrin, WWW.example.com/im",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "abcdefghijklmnopqrstuvwxyz 0123456789",
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
    "Illinois IMMW mmm www: ill.",
    "最近联系人 未分组 统计查找 群发短信 聊天记录",
    "来自张三的新消息：你好，今天晚上一起吃饭吗？",
    "与 Alice 聊天中（聊天模式）：赢懿嚷警翼戴鑫聚醒",
};

}  // namespace

int main(int argc, char** argv) {
  std::string font_path, family, out_path, sample_path;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--font")
      font_path = argv[i + 1];
    else if (key == "--family")
      family = argv[i + 1];
    else if (key == "--out")
      out_path = argv[i + 1];
    else if (key == "--sample")
      sample_path = argv[i + 1];
  }
  if (font_path.empty() || family.empty() || out_path.empty()) {
    std::fprintf(stderr, "usage: %s --font FILE --family NAME --out HZK20.FT [--sample PNG]\n",
                 argv[0]);
    return 2;
  }
  try {
    const tavrin::tools::Gb2312Table table;
    tavrin::tools::GlyphRasterizer raster(font_path, family);
    std::vector<unsigned char> font;
    font.reserve(static_cast<size_t>(tavrin::tools::kGbGlyphs) * tavrin::tools::kBytesPerGlyph);
    int blank_codes = 0;
    for (int n = 0; n < tavrin::tools::kGbGlyphs; ++n) {
      const int hi = 0xA1 + n / 94, lo = 0xA1 + n % 94;
      // Row 3 carries the single-byte characters the client draws through it;
      // box-drawing lines are drawn to the cell edges so they join.
      const auto box = tavrin::tools::box_drawing_cell(table.at(n));
      const tavrin::tools::GlyphCell cell = hi == 0xA3 ? raster.ascii(static_cast<char>(lo - 0x80))
                                            : box      ? *box
                                                       : raster.full_width(table.at(n));
      if (table.at(n) != 0 && cell.blank() && table.at(n) != 0x3000) ++blank_codes;
      font.insert(font.end(), cell.bytes.begin(), cell.bytes.end());
    }
    std::ofstream out(out_path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(font.data()),
              static_cast<std::streamsize>(font.size()));
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", out_path.c_str());
      return 1;
    }
    if (blank_codes > 0)
      std::fprintf(stderr, "note: %d GB2312 codes have no glyph in %s\n", blank_codes,
                   family.c_str());
    if (!sample_path.empty() &&
        !tavrin::tools::write_sample_sheet(font, kSampleLines, sample_path)) {
      std::fprintf(stderr, "cannot write %s\n", sample_path.c_str());
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin_fontgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
