// Full-frame drawing jobs, ours beside pixman's on the same pixels:
//   image   a 480x800 premultiplied ARGB32 image OVER an RGB565 frame
//           ("translucent": every pixel partly transparent, the headline and
//            worst case; "skin": opaque art with transparent and soft-edged parts)
//   fill    a translucent solid fill of the whole frame (alpha 160, and the
//           half-blend alpha 128)
//   scroll  the whole frame moved 7 rows within its own buffer, beside one
//           memmove of the same rows in the same buffer
//   frame   one whole contact-list screen: background, panel, ten rows with
//           status images and bitmap text, then the one present copy
// After the runs a table gives Mpix/s, our speed relative to pixman's (or
// memmove's) and, for each side, the largest per-channel error of one pass
// against exact OVER compositing computed in double precision, in steps of
// the 565 channel (a correctly rounded exact blend stays within 0.5).
// Run: build/<dir>/bin/bench_gfx
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gfx/CBitmapFont.h"
#include "gfx/CSkinImage.h"
#include "gfx/Primitives.h"

using namespace tavrin::gfx;

namespace {

constexpr int kW = 480, kH = 800, kPixels = kW * kH;

uint32_t premultiply(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | ((r * a / 255) << 16) | ((g * a / 255) << 8) | (b * a / 255);
}

// Opaque art with a transparent band, soft edges and translucent panels,
// the make-up of the skins' backgrounds and buttons.
std::vector<uint32_t> skin_image(int w, int h) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t a = 255;
      if (y % 200 < 20)
        a = 0;  // cut-outs
      else if (y % 200 < 28)
        a = uint32_t((y % 200 - 20) * 32);  // soft edge
      else if (x > w * 3 / 4)
        a = 160;  // translucent panel
      a = std::min<uint32_t>(a, 255);
      px[size_t(y) * w + x] = premultiply(a, (x * 255) / w, (y * 255) / h, ((x + y) * 3) & 0xFF);
    }
  return px;
}

std::vector<uint32_t> translucent_image(int w, int h) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t a = 1 + uint32_t((x * 7 + y * 3) % 254);
      px[size_t(y) * w + x] = premultiply(a, (x * 255) / w, (y * 255) / h, ((x + y) * 3) & 0xFF);
    }
  return px;
}

void fill_frame(std::vector<uint16_t>& f) {
  for (size_t i = 0; i < f.size(); ++i) f[i] = uint16_t(i * 2654435761u >> 16);
}

// pixman views on our buffers.
pixman_image_t* view565(std::vector<uint16_t>& f, int w, int h) {
  return pixman_image_create_bits(PIXMAN_r5g6b5, w, h, reinterpret_cast<uint32_t*>(f.data()),
                                  w * 2);
}
pixman_image_t* view8888(std::vector<uint32_t>& p, int w, int h) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, p.data(), w * 4);
}

void set_rate(benchmark::State& state, long pixels) {
  state.counters["pix/s"] =
      benchmark::Counter(double(pixels), benchmark::Counter::kIsIterationInvariantRate);
}

// ---- image OVER ----

template <bool Translucent>
void BM_image_ours(benchmark::State& state) {
  CSkinImage img;
  (void)img.load({kW, kH, Translucent ? translucent_image(kW, kH) : skin_image(kW, kH)});
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  PixelCanvas c{kH, kW, frame.data()};
  for (auto _ : state) {
    img.draw(c, 0, 0);
    benchmark::DoNotOptimize(frame.data());
  }
  set_rate(state, kPixels);
}

template <bool Translucent>
void BM_image_pixman(benchmark::State& state) {
  std::vector<uint32_t> src = Translucent ? translucent_image(kW, kH) : skin_image(kW, kH);
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  pixman_image_t* s = view8888(src, kW, kH);
  pixman_image_t* d = view565(frame, kW, kH);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::DoNotOptimize(frame.data());
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  set_rate(state, kPixels);
}

// ---- translucent fill ----

template <int Alpha>
void BM_fill_ours(benchmark::State& state) {
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  PixelCanvas c{kH, kW, frame.data()};
  for (auto _ : state) {
    fill_rect(c, 0x4080C0, {0, 0, kW, kH}, Alpha);
    benchmark::DoNotOptimize(frame.data());
  }
  set_rate(state, kPixels);
}

template <int Alpha>
void BM_fill_pixman(benchmark::State& state) {
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  pixman_image_t* d = view565(frame, kW, kH);
  // 16-bit premultiplied channels of 0x4080C0 (red C0, green 80, blue 40).
  const uint16_t a = uint16_t(Alpha * 257);
  const pixman_color_t colour{uint16_t(0xC0 * 257 * Alpha / 255),
                              uint16_t(0x80 * 257 * Alpha / 255),
                              uint16_t(0x40 * 257 * Alpha / 255), a};
  const pixman_rectangle16_t all{0, 0, kW, kH};
  for (auto _ : state) {
    pixman_image_fill_rectangles(PIXMAN_OP_OVER, d, &colour, 1, &all);
    benchmark::DoNotOptimize(frame.data());
  }
  pixman_image_unref(d);
  set_rate(state, kPixels);
}

// ---- scroll ----

void BM_scroll_ours(benchmark::State& state) {
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  PixelCanvas c{kH, kW, frame.data()};
  bool down = false;
  for (auto _ : state) {
    // The whole frame moves 7 rows (alternately up and down, as a list does).
    c.copy_from(c, {0, 0, kW, kH}, 0, down ? 7 : -7);
    down = !down;
    benchmark::DoNotOptimize(frame.data());
  }
  set_rate(state, kPixels);
}

// The reference moves the same rows within the same buffer, in one memmove.
void BM_scroll_memmove(benchmark::State& state) {
  std::vector<uint16_t> frame(kPixels);
  fill_frame(frame);
  constexpr std::size_t kRow = kW, kMoved = std::size_t(kH - 7) * kW;
  bool down = false;
  for (auto _ : state) {
    if (down)
      std::memmove(frame.data() + 7 * kRow, frame.data(), kMoved * sizeof(uint16_t));
    else
      std::memmove(frame.data(), frame.data() + 7 * kRow, kMoved * sizeof(uint16_t));
    down = !down;
    benchmark::DoNotOptimize(frame.data());
  }
  set_rate(state, kPixels);
}

// ---- one contact-list frame ----

// A synthetic bitmap font (no font file needed): glyphs of about 35% ink.
std::vector<uint8_t> synthetic_font() {
  std::vector<uint8_t> f(size_t(7500) * 60);
  std::mt19937 rng(7);
  for (size_t i = 0; i < f.size(); ++i) {
    const uint8_t a = uint8_t(rng()), b = uint8_t(rng());
    f[i] = (i % 3 == 2) ? uint8_t(a & b & 0xF0) : uint8_t(a & (b | 0x11));
  }
  return f;
}

// Ten cells of 60 x 66 status images (round, soft-edged), as the status strip.
std::vector<uint32_t> status_strip() {
  std::vector<uint32_t> px(size_t(600) * 66);
  for (int y = 0; y < 66; ++y)
    for (int x = 0; x < 600; ++x) {
      const int dx = x % 60 - 30, dy = y - 33, d2 = dx * dx + dy * dy;
      const uint32_t a = d2 < 22 * 22   ? 255
                         : d2 < 26 * 26 ? uint32_t(255 - (d2 - 484) * 255 / 192)
                                        : 0;
      px[size_t(y) * 600 + x] = premultiply(a, uint32_t(40 + x / 60 * 20), 200, 90);
    }
  return px;
}

struct Row {
  std::string name, mood;
  int status;
};

std::vector<Row> rows() {
  std::vector<Row> r;
  const char* names[] = {
      "\xD5\xC5\xC8\xFD", "\xC0\xEE\xCB\xC4\xB7\xE5", "Alice", "\xCD\xF5\xCE\xE5",
      "Bob Smith",        "\xC1\xF5\xC1\xF9\xC6\xDF", "Carol", "\xB3\xC2\xB0\xCB",
      "\xD6\xDC\xBE\xC5", "Dave 13800138000"};
  for (int i = 0; i < 10; ++i)
    r.push_back({names[i], "Out for lunch, back at 14:00 (call me)", i % 10});
  return r;
}

void compose_contact_frame_ours(PixelCanvas& c, const CSkinImage& bg, const CSkinImage& strip,
                                const CBitmapFont& font, const std::vector<Row>& list,
                                PixelCanvas& display) {
  bg.draw(c, 0, 0);
  fill_rect(c, 0xF0E0D0, {0, 0, 480, 720}, 96);
  fill_rounded(c, 0x804020, {3, 3, 477, 97}, 160, true);
  draw_hline(c, 42, 10, 470, 0xFFFFFF, 128);
  for (int i = 0; i < 10; ++i) {
    const int top = 110 + i * 70;
    if (i == 2) draw_glossy_panel(c, 0xC08040, 0xFFFFFF, {4, top, 476, top + 68}, 200, 6);
    const Rect cell{list[i].status * 60, 0, list[i].status * 60 + 60, 66};
    strip.draw(c, 8, top + 1, &cell);
    font.draw(c, list[i].name.data(), int(list[i].name.size()), 0x202020,
              {76, top + 8, 470, top + 30}, 255);
    font.draw(c, list[i].mood.data(), int(list[i].mood.size()), 0x606060,
              {76, top + 38, 470, top + 60}, 255);
    draw_faded_hline(c, top + 68, 10, 470, 0x808080, 128, 30);
  }
  fill_shaded(c, 0x804020, 0xFFFFFF, {0, 660, 480, 720}, 200, 5, true);
  display.copy_from(c, c.bounds(), 0, 0);  // the one present copy
}

void BM_frame_ours(benchmark::State& state) {
  CSkinImage bg, strip;
  (void)bg.load({kW, kH, skin_image(kW, kH)});
  (void)strip.load({600, 66, status_strip()});
  CBitmapFont font;
  font.load_bytes(synthetic_font());
  const std::vector<Row> list = rows();
  std::vector<uint16_t> frame(kPixels), display(kPixels);
  PixelCanvas c{kH, kW, frame.data()}, d{kH, kW, display.data()};
  for (auto _ : state) {
    compose_contact_frame_ours(c, bg, strip, font, list, d);
    benchmark::DoNotOptimize(display.data());
  }
  set_rate(state, kPixels);
}

// The same frame with pixman: OVER composites for the images, solid fills
// for the panels and lines, and a1 glyph masks for the text.
struct PixmanGlyphs {
  std::map<int, std::pair<std::vector<uint32_t>, pixman_image_t*>> cache;
  const std::vector<uint8_t>& font;
  explicit PixmanGlyphs(const std::vector<uint8_t>& f) : font(f) {}
  ~PixmanGlyphs() {
    for (auto& [g, v] : cache) pixman_image_unref(v.second);
  }
  pixman_image_t* get(int glyph) {
    auto it = cache.find(glyph);
    if (it != cache.end()) return it->second.second;
    std::vector<uint32_t> bits(20);  // one 32-bit word per row, stride 4 bytes
    for (int r = 0; r < 20; ++r) {
      const uint8_t* p = font.data() + size_t(glyph) * 60 + r * 3;
      uint32_t v = 0;
      for (int col = 0; col < 20; ++col)
        if (p[col / 8] & (0x80 >> (col % 8))) v |= 1u << col;  // pixman a1 is LSB-first here
      bits[r] = v;
    }
    auto& slot = cache[glyph];
    slot.first = std::move(bits);
    slot.second = pixman_image_create_bits(PIXMAN_a1, 20, 20, slot.first.data(), 4);
    return slot.second;
  }
};

void pixman_text(pixman_image_t* dst, pixman_image_t* solid, PixmanGlyphs& glyphs,
                 const std::string& s, int x, int y) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char ch = s[i];
    int glyph;
    if (ch & 0x80) {
      glyph = (ch - 0xA1) * 94 + (uint8_t(s[i + 1]) - 0xA1);
      i += 2;
    } else {
      glyph = ch + 155;
      ++i;
    }
    if (ch != ' ')
      pixman_image_composite32(PIXMAN_OP_OVER, solid, glyphs.get(glyph), dst, 0, 0, 0, 0, x, y, 20,
                               20);
    x += (ch & 0x80) ? 20 : 10;
  }
}

void BM_frame_pixman(benchmark::State& state) {
  std::vector<uint32_t> bg = skin_image(kW, kH), strip = status_strip();
  const std::vector<uint8_t> font = synthetic_font();
  PixmanGlyphs glyphs(font);
  const std::vector<Row> list = rows();
  std::vector<uint16_t> frame(kPixels), display(kPixels);
  pixman_image_t* bgi = view8888(bg, kW, kH);
  pixman_image_t* stripi = view8888(strip, 600, 66);
  pixman_image_t* f = view565(frame, kW, kH);
  pixman_image_t* d = view565(display, kW, kH);
  pixman_color_t ink{0x2020, 0x2020, 0x2020, 0xFFFF}, grey{0x6060, 0x6060, 0x6060, 0xFFFF};
  pixman_image_t* ink_i = pixman_image_create_solid_fill(&ink);
  pixman_image_t* grey_i = pixman_image_create_solid_fill(&grey);
  auto fill = [&](int x, int y, int w, int h, uint16_t r, uint16_t g, uint16_t b, uint16_t a) {
    const pixman_color_t c{uint16_t(r * a / 0xFFFF), uint16_t(g * a / 0xFFFF),
                           uint16_t(b * a / 0xFFFF), a};
    const pixman_rectangle16_t rect{int16_t(x), int16_t(y), uint16_t(w), uint16_t(h)};
    pixman_image_fill_rectangles(PIXMAN_OP_OVER, f, &c, 1, &rect);
  };
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, bgi, nullptr, f, 0, 0, 0, 0, 0, 0, kW, kH);
    fill(0, 0, 480, 720, 0xD0D0, 0xE0E0, 0xF0F0, 96 * 257);
    fill(3, 3, 474, 94, 0x2020, 0x4040, 0x8080, 160 * 257);
    fill(10, 42, 460, 1, 0xFFFF, 0xFFFF, 0xFFFF, 0x8080);
    for (int i = 0; i < 10; ++i) {
      const int top = 110 + i * 70;
      if (i == 2) {
        fill(6, top + 2, 468, 64, 0x4040, 0x8080, 0xC0C0, 200 * 257);
        for (int r = 0; r < 32; ++r)
          fill(6, top + 2 + r, 468, 1, 0xFFFF, 0xFFFF, 0xFFFF,
               uint16_t((160 - 3 * r > 0 ? 160 - 3 * r : 0) * 257));
      }
      pixman_image_composite32(PIXMAN_OP_OVER, stripi, nullptr, f, list[i].status * 60, 0, 0, 0, 8,
                               top + 1, 60, 66);
      pixman_text(f, ink_i, glyphs, list[i].name, 76, top + 8);
      pixman_text(f, grey_i, glyphs, list[i].mood, 76, top + 38);
      fill(10, top + 68, 460, 1, 0x8080, 0x8080, 0x8080, 0x8080);
    }
    fill(0, 660, 480, 60, 0x2020, 0x4040, 0x8080, 200 * 257);
    fill(0, 660, 480, 3, 0xFFFF, 0xFFFF, 0xFFFF, 0x8080);
    pixman_image_composite32(PIXMAN_OP_SRC, f, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::DoNotOptimize(display.data());
  }
  for (auto* i : {bgi, stripi, f, d, ink_i, grey_i}) pixman_image_unref(i);
  set_rate(state, kPixels);
}

BENCHMARK(BM_image_ours<true>)->Name("image_translucent/ours");
BENCHMARK(BM_image_pixman<true>)->Name("image_translucent/pixman");
BENCHMARK(BM_image_ours<false>)->Name("image_skin/ours");
BENCHMARK(BM_image_pixman<false>)->Name("image_skin/pixman");
BENCHMARK(BM_fill_ours<160>)->Name("fill_alpha160/ours");
BENCHMARK(BM_fill_pixman<160>)->Name("fill_alpha160/pixman");
BENCHMARK(BM_fill_ours<128>)->Name("fill_alpha128/ours");
BENCHMARK(BM_fill_pixman<128>)->Name("fill_alpha128/pixman");
BENCHMARK(BM_scroll_ours)->Name("scroll/ours");
BENCHMARK(BM_scroll_memmove)->Name("scroll/memmove");
BENCHMARK(BM_frame_ours)->Name("contact_frame/ours");
BENCHMARK(BM_frame_pixman)->Name("contact_frame/pixman");

// ---- accuracy: one pass of each job against exact OVER ----

// The three channels of an RGB565 pixel (red, green, blue) and of a
// premultiplied ARGB32 pixel.
struct Channel {
  int shift565, max565, shift8888;
};
constexpr Channel kChannels[3] = {{11, 31, 16}, {5, 63, 8}, {0, 31, 0}};

double channel01(uint16_t p, const Channel& ch) {
  return double((p >> ch.shift565) & ch.max565) / ch.max565;
}

// Largest |result - exact| over every pixel and channel, in 565 steps (a
// correctly rounded result stays within 0.5).
// exact(i, ch) is the ideal channel value in 0..1 for pixel i.
double max_error(const std::vector<uint16_t>& result,
                 const std::function<double(std::size_t, const Channel&)>& exact) {
  double worst = 0;
  for (std::size_t i = 0; i < result.size(); ++i)
    for (const Channel& ch : kChannels)
      worst = std::max(worst, std::fabs(double((result[i] >> ch.shift565) & ch.max565) -
                                        exact(i, ch) * ch.max565));
  return worst;
}

// Premultiplied source OVER the frame: s + d * (1 - a).
double image_error(const std::vector<uint16_t>& before, const std::vector<uint16_t>& after,
                   const std::vector<uint32_t>& src) {
  return max_error(after, [&](std::size_t i, const Channel& ch) {
    const double a = double(src[i] >> 24) / 255, s = double((src[i] >> ch.shift8888) & 0xFF) / 255;
    return s + channel01(before[i], ch) * (1 - a);
  });
}

// A solid 0x00BBGGRR colour at alpha OVER the frame: c * a + d * (1 - a).
double fill_error(const std::vector<uint16_t>& before, const std::vector<uint16_t>& after,
                  Colour colour, int alpha) {
  const double a = alpha / 255.0;
  const double rgb[3] = {double(colour & 0xFF) / 255, double((colour >> 8) & 0xFF) / 255,
                         double((colour >> 16) & 0xFF) / 255};
  return max_error(after, [&](std::size_t i, const Channel& ch) {
    return rgb[&ch - kChannels] * a + channel01(before[i], ch) * (1 - a);
  });
}

struct Errors {
  double ours = -1, ref = -1;  // -1: not measured
};

std::map<std::string, Errors> measure_errors() {
  std::map<std::string, Errors> e;
  std::vector<uint16_t> before(kPixels);
  fill_frame(before);
  for (const bool translucent : {true, false}) {
    std::vector<uint32_t> src = translucent ? translucent_image(kW, kH) : skin_image(kW, kH);
    std::vector<uint16_t> ours = before, ref = before;
    CSkinImage img;
    (void)img.load({kW, kH, src});
    PixelCanvas c{kH, kW, ours.data()};
    img.draw(c, 0, 0);
    pixman_image_t* s = view8888(src, kW, kH);
    pixman_image_t* d = view565(ref, kW, kH);
    pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    pixman_image_unref(s);
    pixman_image_unref(d);
    e[translucent ? "image_translucent" : "image_skin"] = {image_error(before, ours, src),
                                                           image_error(before, ref, src)};
  }
  for (const int alpha : {160, 128}) {
    std::vector<uint16_t> ours = before, ref = before;
    PixelCanvas c{kH, kW, ours.data()};
    fill_rect(c, 0x4080C0, {0, 0, kW, kH}, alpha);
    pixman_image_t* d = view565(ref, kW, kH);
    const uint16_t a = uint16_t(alpha * 257);
    const pixman_color_t colour{uint16_t(0xC0 * 257 * alpha / 255),
                                uint16_t(0x80 * 257 * alpha / 255),
                                uint16_t(0x40 * 257 * alpha / 255), a};
    const pixman_rectangle16_t all{0, 0, kW, kH};
    pixman_image_fill_rectangles(PIXMAN_OP_OVER, d, &colour, 1, &all);
    pixman_image_unref(d);
    e["fill_alpha" + std::to_string(alpha)] = {fill_error(before, ours, 0x4080C0, alpha),
                                               fill_error(before, ref, 0x4080C0, alpha)};
  }
  {
    // A scroll is a copy: exact means the same bits as the moved rows.
    std::vector<uint16_t> ours = before, ref = before;
    PixelCanvas c{kH, kW, ours.data()};
    c.copy_from(c, {0, 0, kW, kH}, 0, 7);
    std::memmove(ref.data() + 7 * kW, ref.data(), std::size_t(kH - 7) * kW * sizeof(uint16_t));
    std::vector<uint16_t> exact = before;
    std::copy(before.begin(), before.end() - 7 * kW, exact.begin() + 7 * kW);
    const auto diff = [&](const std::vector<uint16_t>& got) {
      return max_error(got,
                       [&](std::size_t i, const Channel& ch) { return channel01(exact[i], ch); });
    };
    e["scroll"] = {diff(ours), diff(ref)};
  }
  return e;
}

// Collects each job's median time per iteration over its repetitions for
// the closing table.
class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median" && !r.error_occurred)
        seconds[r.run_name.function_name] =
            r.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
  }
  double median(const std::string& name) const {
    const auto it = seconds.find(name);
    return it == seconds.end() ? -1 : it->second;
  }
  std::map<std::string, double> seconds;  // per iteration, median of the repetitions
};

}  // namespace

int main(int argc, char** argv) {
  // Ours and the reference take turns: the jobs' repetitions run
  // interleaved in random order, so every job meets the same load from the
  // rest of the machine (run one family after the other, the second came
  // out slower). Flags given on the command line come after these and win.
  std::vector<char*> args{argv[0]};
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  char repetitions[] = "--benchmark_repetitions=15";
  char min_time[] = "--benchmark_min_time=0.05";
  char report[] = "--benchmark_report_aggregates_only=true";
  for (char* flag : {interleave, repetitions, min_time, report}) args.push_back(flag);
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const std::map<std::string, Errors> errors = measure_errors();
  std::printf("\n%-20s %9s %9s %11s %11s %8s %9s %9s\n", "job", "ours ms", "ref ms", "ours Mpix/s",
              "ref Mpix/s", "speed", "ours err", "ref err");
  // The fully translucent image first: every pixel takes the blend path.
  for (const char* job : {"image_translucent", "image_skin", "fill_alpha160", "fill_alpha128",
                          "scroll", "contact_frame"}) {
    const double t = reporter.median(std::string(job) + "/ours");
    if (t < 0) continue;
    double ref = 0;
    for (const char* other : {"/pixman", "/memmove"})
      ref = std::max(ref, reporter.median(job + std::string(other)));
    char err_ours[16] = "-", err_ref[16] = "-";
    if (auto e = errors.find(job); e != errors.end()) {
      std::snprintf(err_ours, sizeof err_ours, "%.2f", e->second.ours);
      std::snprintf(err_ref, sizeof err_ref, "%.2f", e->second.ref);
    }
    std::printf("%-20s %9.3f %9.3f %11.1f %11.1f %7.2fx %9s %9s\n", job, t * 1e3, ref * 1e3,
                kPixels / t / 1e6, ref > 0 ? kPixels / ref / 1e6 : 0.0, ref > 0 ? ref / t : 0.0,
                err_ours, err_ref);
  }
  std::printf(
      "(CPU time per frame, median of the interleaved repetitions, robust on a shared\n"
      " machine; speed: the reference's time over ours, above 1 means ours is faster;\n"
      " err: largest per-channel distance from exact OVER in 565 steps after one pass\n"
      " over the bench's frame; a correctly rounded blend stays within 0.5, a copy is 0;\n"
      " the contact frame mixes many primitives and has no single exact reference)\n");
  benchmark::Shutdown();
  return 0;
}
