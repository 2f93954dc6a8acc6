// Golden screenshots: compares RGB565 pixels with a reference PNG at
// tolerance 0. On a mismatch it writes <name>_err.png (expected | actual |
// differences in magenta) to the output folder and returns why; with
// TAVRIN_UPDATE_GOLDEN=1 it rewrites the reference instead. An empty
// string means the pixels match.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin::test {

struct Pixels565 {
  const uint16_t* pixels = nullptr;
  int width = 0, height = 0, stride = 0;
};

std::string compare_golden(const std::string& golden_dir, const std::string& out_dir,
                           const std::string& name, Pixels565 actual);

}  // namespace tavrin::test
