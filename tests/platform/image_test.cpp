// PNG decoding premultiplies; saving un-premultiplies and widens RGB565.
#include "platform/image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "temp_dir.h"

using namespace tavrin::platform;

TEST(Image, DecodedPngIsPremultiplied) {
  TempDir dir;
  const std::string path = dir.file("a.png");
  // Straight-alpha pixels written through the ARGB saver come back
  // premultiplied: half-transparent white must read as 0x80808080.
  ArgbImage src{4, 1, {0xFFFF0000u, 0x80808080u, 0x00000000u, 0x40204010u}};
  ASSERT_TRUE(save_png_argb(path, src));
  auto img = decode_png_file(path);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->width, 4);
  ASSERT_EQ(img->height, 1);
  EXPECT_EQ(img->pixels[0], 0xFFFF0000u);
  EXPECT_EQ(img->pixels[1], 0x80808080u);
  EXPECT_EQ(img->pixels[2], 0x00000000u);
  // Every channel stays <= alpha after a round trip through straight alpha.
  const uint32_t p = img->pixels[3];
  EXPECT_EQ(p >> 24, 0x40u);
  EXPECT_LE((p >> 16) & 0xff, 0x40u);
  EXPECT_LE((p >> 8) & 0xff, 0x40u);
  EXPECT_LE(p & 0xff, 0x40u);
  EXPECT_NEAR(double((p >> 16) & 0xff), 0x20, 1);
  EXPECT_NEAR(double((p >> 8) & 0xff), 0x40, 1);
}

TEST(Image, Rgb565FrameSavesAtFullRangeAndHonoursStride) {
  TempDir dir;
  const std::string path = dir.file("f.png");
  // 2x2 frame in a stride of 3; the third column is padding and must not leak.
  const uint16_t frame[] = {0xFFFF, 0xF800, 0x1234, 0x07E0, 0x001F, 0x5678};
  ASSERT_TRUE(save_png_rgb565(path, frame, 2, 2, 3));
  auto img = decode_png_file(path);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->width, 2);
  ASSERT_EQ(img->height, 2);
  EXPECT_EQ(img->pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(img->pixels[1], 0xFFFF0000u);
  EXPECT_EQ(img->pixels[2], 0xFF00FF00u);
  EXPECT_EQ(img->pixels[3], 0xFF0000FFu);
}

TEST(Image, RejectsMissingAndGarbage) {
  TempDir dir;
  EXPECT_FALSE(decode_png_file(dir.file("none.png")));
  const uint8_t junk[] = {0x89, 'P', 'N', 'G', 1, 2, 3};
  EXPECT_FALSE(decode_png_memory(junk, sizeof junk));
  EXPECT_FALSE(decode_png_memory(nullptr, 0));
  // A valid PNG truncated halfway is rejected, not half-decoded.
  const std::string path = dir.file("t.png");
  ArgbImage big{64, 64, std::vector<uint32_t>(64 * 64, 0xFF123456u)};
  ASSERT_TRUE(save_png_argb(path, big));
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  auto whole = decode_png_memory(bytes.data(), bytes.size());
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->pixels[64 * 64 - 1], 0xFF123456u);
  EXPECT_FALSE(decode_png_memory(bytes.data(), bytes.size() / 2));
}
