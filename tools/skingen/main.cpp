// tavrin_skingen: draws every skin image of the manifest into the install
// folder, the emoticon grid, and the theme packages' previews and staging
// folders (packed into Theme.cab by the build).
//   tavrin_skingen --manifest FILE --out INSTALL_DIR --stage DIR --emoji FONT
//   tavrin_skingen --app-icons DIR   (DIR/hicolor/NxN/apps/tavrin.png)
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "canvas.h"
#include "emoticon_grid.h"
#include "manifest.h"
#include "palette.h"
#include "skin_painter.h"
#include "theme_package.h"

namespace {

using tavrin::tools::Canvas;
using tavrin::tools::Manifest;
using tavrin::tools::ManifestImage;

void generate(const std::map<std::string, std::string>& args) {
  const Manifest manifest = Manifest::load(args.at("--manifest"));
  const std::string out = args.at("--out");
  const std::string stage = args.at("--stage");
  const tavrin::tools::Palette& classic = tavrin::tools::palettes().front();
  const tavrin::tools::SkinPainter painter(classic);
  const tavrin::tools::EmoticonGrid faces(args.at("--emoji"));

  for (const ManifestImage& image : manifest.images) {
    Canvas canvas(image.width, image.height);
    const std::string& p = image.path;
    if (p.rfind("Themes/", 0) == 0) {
      // Themes/<name>/PreSee.png
      const std::string name = p.substr(7, p.find('/', 7) - 7);
      if (p != "Themes/" + name + "/PreSee.png")
        throw std::runtime_error("unknown theme file " + p);
      tavrin::tools::ThemePackage(tavrin::tools::palette_named(name)).paint_preview(canvas);
    } else if (p == "Theme/Face.png") {
      faces.paint(canvas, classic);
    } else if (!painter.paint(p, canvas)) {
      throw std::runtime_error("no painter for " + p);
    }
    canvas.save(out + "/" + p);
  }
  for (const std::string& theme : manifest.themes) {
    const std::string dir = stage + "/" + theme;
    std::filesystem::remove_all(dir);  // nothing stale gets packed
    tavrin::tools::ThemePackage(tavrin::tools::palette_named(theme)).write_stage(manifest, dir);
  }
}

// The desktop's icon in the hicolor theme's usual sizes.
void app_icons(const std::string& dir) {
  const tavrin::tools::SkinPainter painter(tavrin::tools::palettes().front());
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    Canvas canvas(size, size);
    painter.app_icon(canvas);
    const std::string n = std::to_string(size);
    canvas.save(dir + "/hicolor/" + n + "x" + n + "/apps/tavrin.png");
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  if (args.count("--app-icons")) {
    try {
      app_icons(args.at("--app-icons"));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "tavrin_skingen: %s\n", e.what());
      return 1;
    }
    return 0;
  }
  for (const char* key : {"--manifest", "--out", "--stage", "--emoji"})
    if (args.count(key) == 0) {
      std::fprintf(stderr, "usage: %s --manifest FILE --out DIR --stage DIR --emoji FONT\n",
                   argv[0]);
      return 2;
    }
  try {
    generate(args);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrin_skingen: %s\n", e.what());
    return 1;
  }
  return 0;
}
