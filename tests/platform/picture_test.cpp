// Pictures picked as backgrounds: each of the four kinds decodes by its
// bytes, whatever its name; large ones are fitted down; what is not a
// readable picture, or claims to be too large, is refused.
#include "platform/picture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "temp_dir.h"
#include "test_pictures.h"

using namespace tavrin::platform;
using tavrin::test::write_bmp;
using tavrin::test::write_gif;
using tavrin::test::write_jpeg;

namespace {

constexpr uint32_t kRed = 0xE02010, kBlue = 0x1030D0;

// Whether two opaque colours are within `slack` in every channel (JPEG is lossy).
bool near(uint32_t argb, uint32_t rgb, int slack) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((argb >> shift) & 0xFF) - int((rgb >> shift) & 0xFF)) > slack) return false;
  return (argb >> 24) == 0xFF;
}

std::vector<uint8_t> bytes_of(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Picture, EachKindDecodesByItsBytesNotItsName) {
  TempDir dir;
  struct Case {
    const char* name;
    std::function<bool(const std::string&)> write;
    int slack;
  } cases[] = {
      // A JPEG named as a PNG: the bytes say what it is.
      {"photo.png", [](const std::string& p) { return write_jpeg(p, 64, 32, kRed, kBlue); }, 12},
      {"scan.bmp", [](const std::string& p) { return write_bmp(p, 64, 32, kRed, kBlue); }, 0},
      {"sign.gif", [](const std::string& p) { return write_gif(p, 64, 32, kRed, kBlue); }, 0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file(c.name);
    ASSERT_TRUE(c.write(path)) << c.name;
    const auto image = decode_picture_file(path);
    ASSERT_TRUE(image) << c.name;
    EXPECT_EQ(image->width, 64) << c.name;
    EXPECT_EQ(image->height, 32) << c.name;
    EXPECT_TRUE(near(image->pixels[16 * 64 + 8], kRed, c.slack)) << c.name;
    EXPECT_TRUE(near(image->pixels[16 * 64 + 56], kBlue, c.slack)) << c.name;
  }
  // A GIF's transparent colour comes out transparent (premultiplied: all 0).
  const std::string clear = dir.file("clear.gif");
  ASSERT_TRUE(write_gif(clear, 8, 2, kRed, kBlue, true));
  const auto image = decode_picture_file(clear);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->pixels[7], 0u);
  EXPECT_TRUE(near(image->pixels[0], kRed, 0));
}

TEST(Picture, APhotoIsFittedDownNeverUp) {
  TempDir dir;
  const std::string path = dir.file("wide.jpg");
  ASSERT_TRUE(write_jpeg(path, 400, 300, kRed, kBlue));
  const auto fitted = decode_picture_file(path, {100, 100});
  ASSERT_TRUE(fitted);
  EXPECT_EQ(fitted->width, 100);
  EXPECT_EQ(fitted->height, 75);
  EXPECT_TRUE(near(fitted->pixels[37 * 100 + 10], kRed, 12));
  EXPECT_TRUE(near(fitted->pixels[37 * 100 + 90], kBlue, 12));
  const auto kept = decode_picture_file(path, {800, 800});
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->width, 400);
}

TEST(Picture, WhatIsNoReadablePictureIsRefused) {
  TempDir dir;
  EXPECT_FALSE(decode_picture_file(dir.file("none.jpg")));
  const std::string jpeg = dir.file("cut.jpg");
  ASSERT_TRUE(write_jpeg(jpeg, 64, 64, kRed, kBlue));
  std::vector<uint8_t> bytes = bytes_of(jpeg);
  EXPECT_FALSE(decode_picture_memory(bytes.data(), 20)) << "a JPEG cut after its header";
  const uint8_t text[] = "GIF? no, just text";
  EXPECT_FALSE(decode_picture_memory(text, sizeof text));
  EXPECT_FALSE(decode_picture_memory(nullptr, 0));
  // A BMP whose header claims 100,000 x 100,000 pixels is refused before
  // anything is allocated for it.
  const std::string bmp = dir.file("huge.bmp");
  ASSERT_TRUE(write_bmp(bmp, 4, 4, kRed, kBlue));
  bytes = bytes_of(bmp);
  for (int at : {18, 22}) {
    bytes[size_t(at)] = 0xA0, bytes[size_t(at) + 1] = 0x86, bytes[size_t(at) + 2] = 0x01;
  }
  ASSERT_EQ(picture_size(bytes.data(), bytes.size()), (std::pair{100000L, 100000L}));
  EXPECT_FALSE(decode_picture_memory(bytes.data(), bytes.size()));
}

// Bombs: a 40 KB PNG claiming 16384 x 16384 pixels (1 GB decoded), and a
// progressive JPEG whose thousands of scans are each a pass of the decoder
// over the whole picture (it froze start-up for many seconds). Both are
// refused before any pixel is decoded; the same JPEG with a few scans is
// a picture like any other.
TEST(Picture, BombsAreRefusedBeforeDecoding) {
  TempDir dir;
  const std::string png = dir.file("bomb.png");
  ASSERT_TRUE(tavrin::test::write_png_bomb(png, 16384));
  const auto png_bytes = bytes_of(png);
  EXPECT_LT(png_bytes.size(), 64u * 1024);
  EXPECT_EQ(picture_size(png_bytes.data(), png_bytes.size()), (std::pair{16384L, 16384L}));
  EXPECT_FALSE(decode_picture_file(png));
  EXPECT_FALSE(decode_png_file(png)) << "skins and previews have the same limits";
  EXPECT_FALSE(decode_png_memory(png_bytes.data(), png_bytes.size()));

  const struct {
    int scans;
    bool decodes;
  } cases[] = {{10, true}, {kMaxJpegScans, true}, {kMaxJpegScans + 1, false}, {20000, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scans);
    const std::string jpeg = tavrin::test::jpeg_of_scans(1024, 1024, c.scans);
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data());
    const auto image = decode_picture_memory(data, jpeg.size());
    ASSERT_EQ(bool(image), c.decodes);
    if (image) EXPECT_EQ(image->width, 1024);
  }
}

// GIFs are decoded here (SDL_image's reader freed memory twice on a
// 60-byte file the fuzzer found): a 10 x 10 picture whose codes grow past
// three bits, with white, red and blue as its colour table says.
TEST(Picture, AGifsCodesGrowAsTheyShould) {
  const uint8_t gif[] = {
      0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x0A, 0x00, 0x0A, 0x00, 0x91, 0x00, 0x00, 0xFF, 0xFF,
      0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x0A, 0x00, 0x00, 0x02, 0x16,
      0x8C, 0x2D, 0x99, 0x87, 0x2A, 0x1C, 0xDC, 0x33, 0xA0, 0x02, 0x75, 0xEC, 0x95, 0xFA, 0xA8,
      0xDE, 0x60, 0x8C, 0x04, 0x91, 0x4C, 0x01, 0x00, 0x3B};
  const char* rows[] = {"RRRRRBBBBB", "RRRRRBBBBB", "RRRRRBBBBB", "RRRWWWWBBB", "RRRWWWWBBB",
                        "BBBWWWWRRR", "BBBWWWWRRR", "BBBBBRRRRR", "BBBBBRRRRR", "BBBBBRRRRR"};
  const auto image = decode_picture_memory(gif, sizeof gif);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width, 10);
  ASSERT_EQ(image->height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      const char c = rows[y][x];
      const uint32_t want = c == 'R' ? 0xFFFF0000 : c == 'B' ? 0xFF0000FF : 0xFFFFFFFF;
      EXPECT_EQ(image->pixels[size_t(y * 10 + x)], want) << x << "," << y;
    }
}

}  // namespace
