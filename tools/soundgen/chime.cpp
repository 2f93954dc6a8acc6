#include "chime.h"

#include <algorithm>
#include <cmath>

namespace tavrin::tools {
namespace {

struct Partial {
  double ratio;  // of the note's pitch
  double level;
  double decay;  // per second
};

// A soft bell: the hum an octave below is left out, the upper partials die fast.
constexpr Partial kBell[] = {
    {1.0, 1.0, 5.0}, {2.0, 0.35, 8.0}, {2.76, 0.18, 12.0}, {5.4, 0.06, 20.0}};

void add_note(std::vector<double>& mix, double start_s, double hz, double gain) {
  const int start = static_cast<int>(start_s * kChimeSampleRate);
  const double attack = 0.004;
  for (int i = start; i < static_cast<int>(mix.size()); ++i) {
    const double t = static_cast<double>(i - start) / kChimeSampleRate;
    const double env_in = std::min(1.0, t / attack);
    double v = 0;
    for (const Partial& p : kBell)
      v += p.level * std::exp(-p.decay * t) * std::sin(2 * M_PI * hz * p.ratio * t);
    mix[i] += gain * env_in * v;
  }
}

}  // namespace

std::vector<int16_t> make_chime() {
  const double seconds = 0.9;
  std::vector<double> mix(static_cast<size_t>(seconds * kChimeSampleRate), 0.0);
  add_note(mix, 0.0, 1318.51, 0.55);   // E6
  add_note(mix, 0.13, 1760.00, 0.50);  // A6
  // Fade the tail to exact silence so the end does not click.
  const size_t fade = kChimeSampleRate / 10;
  for (size_t i = 0; i < fade; ++i) mix[mix.size() - 1 - i] *= static_cast<double>(i) / fade;
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::abs(v));
  const double scale = peak > 0 ? 0.7 * 32767 / peak : 0;  // about -3 dB of headroom
  std::vector<int16_t> out(mix.size());
  std::transform(mix.begin(), mix.end(), out.begin(),
                 [scale](double v) { return static_cast<int16_t>(std::lround(v * scale)); });
  return out;
}

}  // namespace tavrin::tools
