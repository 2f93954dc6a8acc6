// The new-message chime: two bell-like notes a fourth apart (E6 then A6),
// each a few inharmonic partials under an exponential decay with a short
// attack, as 16-bit mono PCM samples.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin::tools {

inline constexpr int kChimeSampleRate = 22050;

[[nodiscard]] std::vector<int16_t> make_chime();

}  // namespace tavrin::tools
