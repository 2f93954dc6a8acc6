// The new-message sound: a well-formed PCM WAVE file holding a short,
// audible chime that starts and ends without a click.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "asset_manifest.h"

namespace {

uint32_t le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(NewMessageSound, IsAShortCleanPcmChime) {
  std::ifstream f(tavrin::test::install_path("Sounds/newmessage.wav"), std::ios::binary);
  const std::vector<unsigned char> b{std::istreambuf_iterator<char>(f),
                                     std::istreambuf_iterator<char>()};
  ASSERT_GE(b.size(), 44u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(le32(b, 4), b.size() - 8);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(le16(b, 20), 1);  // PCM
  const int channels = le16(b, 22), rate = static_cast<int>(le32(b, 24)), bits = le16(b, 34);
  EXPECT_EQ(channels, 1);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(le32(b, 28), static_cast<uint32_t>(rate * channels * bits / 8));
  ASSERT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  const uint32_t data = le32(b, 40);
  ASSERT_EQ(data + 44, b.size());
  const size_t n = data / 2;
  const double seconds = static_cast<double>(n) / rate;
  EXPECT_GT(seconds, 0.3);
  EXPECT_LT(seconds, 2.0);
  int peak = 0;
  for (size_t i = 0; i < n; ++i)
    peak = std::max(peak, std::abs(static_cast<int16_t>(le16(b, 44 + 2 * i))));
  EXPECT_GT(peak, 32767 / 4) << "too quiet to notice";
  EXPECT_LT(peak, 32767) << "clipped";
  EXPECT_LT(std::abs(static_cast<int16_t>(le16(b, 44))), 1000);
  EXPECT_LT(std::abs(static_cast<int16_t>(le16(b, 44 + 2 * (n - 1)))), 100);
}

}  // namespace
