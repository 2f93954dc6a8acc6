#include "gfx/PlatformFont.h"

namespace tavrin::gfx {
namespace {
FontProvider* g_provider = nullptr;  // UI thread only
}  // namespace

void set_font_provider(FontProvider* provider) {
  g_provider = provider;
}
FontProvider* font_provider() {
  return g_provider;
}

std::unique_ptr<PlatformFont> make_font(int height) {
  return make_font(kStandardFace, height);
}

std::unique_ptr<PlatformFont> make_font(std::u16string_view face, int height) {
  if (!g_provider || height <= 0) return nullptr;
  FontSpec spec;
  spec.face = std::u16string(face);
  spec.height = height;
  return g_provider->create(spec);
}

}  // namespace tavrin::gfx
