// tavrin_soundgen: writes the new-message chime as a RIFF/WAVE file
// (PCM, 16-bit, mono).
//   tavrin_soundgen OUT.wav
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "chime.h"

namespace {

void put16(std::ofstream& f, uint16_t v) {
  const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  f.write(b, 2);
}
void put32(std::ofstream& f, uint32_t v) {
  put16(f, static_cast<uint16_t>(v & 0xFFFF));
  put16(f, static_cast<uint16_t>(v >> 16));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT.wav\n", argv[0]);
    return 2;
  }
  const std::string path = argv[1];
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  const auto samples = tavrin::tools::make_chime();
  const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write("RIFF", 4);
  put32(f, 36 + data_bytes);
  f.write("WAVEfmt ", 8);
  put32(f, 16);
  put16(f, 1);  // PCM
  put16(f, 1);  // mono
  put32(f, tavrin::tools::kChimeSampleRate);
  put32(f, tavrin::tools::kChimeSampleRate * 2);
  put16(f, 2);
  put16(f, 16);
  f.write("data", 4);
  put32(f, data_bytes);
  for (int16_t s : samples) put16(f, static_cast<uint16_t>(s));
  if (!f) {
    std::fprintf(stderr, "tavrin_soundgen: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
