#include "theme_package.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "skin_painter.h"

namespace tavrin::tools {
namespace {

std::string colour_attr(const char* name, uint32_t value) {
  char buf[96];
  std::snprintf(buf, sizeof buf, " %s=\"%f\"", name, static_cast<double>(value));
  return buf;
}

std::string alpha_attr(const char* name, int value) {
  return std::string(" ") + name + "=\"" + std::to_string(value) + "\"";
}

// A path relative to the install folder, as the client writes theme files.
std::string background_path(const std::string& theme) {
  return "Theme\\" + theme + "\\bk.png";
}

void paint_from(const SkinPainter& painter, const std::string& name, int w, int h,
                const Canvas& into, double x, double y) {
  Canvas part(w, h);
  painter.paint(name, part);
  cairo_set_source_surface(into.cr(), part.surface(), x, y);
  cairo_paint(into.cr());
}

}  // namespace

std::string ThemePackage::theme_file() const {
  const ThemeValues& v = palette_.values;
  const std::string path = background_path(palette_.name);
  std::string x = "<?xml version=\"1.0\" ?>\n<BriskLibTavrinTheme>\n";
  x += "    <Messages>\n";
  x += "        <Welcome>Welcome to BriskLibtavrin</Welcome>\n";
  x += "        <Farewell>Thank you for using BriskLibtavrin</Farewell>\n";
  x += "    </Messages>\n    <Colors>\n";
  x += "        <BkColor" + colour_attr("BgColor", v.bg_color) +
       colour_attr("LineColor", v.line_color) + alpha_attr("BgAlpha", v.bg_alpha) +
       colour_attr("BgTextColor", v.bg_text_color) + " />\n";
  x += "        <BottomColor" + colour_attr("BottomBkColor", v.bottom_bk_color) +
       alpha_attr("BottomBgAlpha", v.bottom_bg_alpha) +
       colour_attr("BottomTextColor", v.bottom_text_color) + " />\n";
  x += "        <MenuColor" + colour_attr("MenuBkColor", v.menu_bk_color) +
       alpha_attr("MenuBgAlpha", v.menu_bg_alpha) +
       colour_attr("MenuTextColor", v.menu_text_color) + " />\n";
  x += "        <EditColor" + colour_attr("EditBkColor", v.edit_bk_color) +
       colour_attr("EditOutLineColor", v.edit_out_line_color) +
       colour_attr("EditInLineColor", v.edit_in_line_color) +
       alpha_attr("EditBgAlpha", v.edit_bg_alpha) +
       colour_attr("EditTextColor", v.edit_text_color) + " />\n";
  x += "        <BtnColor" + colour_attr("BtnBkColor", v.btn_bk_color) +
       alpha_attr("BtnBgAlpha", v.btn_bg_alpha) + colour_attr("BtnTextColor", v.btn_text_color) +
       " />\n";
  x += "        <ListColor" + colour_attr("ListBkColor", v.list_bk_color) +
       colour_attr("ListLineColor", v.list_line_color) +
       alpha_attr("ListBgAlpha", v.list_bg_alpha) +
       colour_attr("ListTextColor", v.list_text_color) + " />\n";
  x += "        <MsgBoxColor" + colour_attr("MsgBoxBkColor", v.msg_box_bk_color) +
       alpha_attr("MsgBoxBgAlpha", v.msg_box_bg_alpha) +
       colour_attr("MsgBoxTextColor", v.msg_box_text_color) + " />\n";
  x += "        <AnimationColor" + colour_attr("AnimationBkColor", v.animation_bk_color) +
       alpha_attr("AnimationBgAlpha", v.animation_bg_alpha) + " />\n";
  x += "        <BkPath TavrinBkPath=\"" + path + "\" />\n";
  x += "        <LoginBkPath TavrinLoginBkPath=\"" + path + "\" />\n";
  x += "        <MsgBkPath TavrinMsgBkPath=\"" + path + "\" />\n";
  x += "        <MainBkPath TavrinMainBkPath=\"" + path + "\" />\n";
  x += "    </Colors>\n</BriskLibTavrinTheme>\n";
  return x;
}

void ThemePackage::paint_preview(Canvas& canvas) const {
  const SkinPainter painter(palette_);
  const SkinTones& t = palette_.tones;
  const ThemeValues& v = palette_.values;
  Canvas screen(480, 800);
  painter.paint("Theme/bk.png", screen);
  paint_from(painter, "Theme/TavrinMainBk.png", 480, 800, screen, 0, 0);
  paint_from(painter, "Theme/TavrinActInfo.png", 90, 90, screen, 30, 14);
  screen.text_centred("BriskLibTavrin For " + palette_.name, 300, 30, 24, 0xFFFFFF);
  screen.text_centred("今天也要元气满满", 300, 78, 22, lighten(t.accent, 0.3));
  // A section header and a few contact rows.
  cairo_t* cr = screen.cr();
  Canvas status(600, 66);
  painter.paint("Theme/TavrinStatus.png", status);
  const char* names[] = {"张伟", "Alice", "李娜", "王芳", "陈杰"};
  const int cells[] = {4, 6, 7, 0, 2};
  screen.fill_rounded(6, 126, 468, 40, 8, 0xFFFFFF, 0.85);
  screen.text_centred("我的好友  3 人在线", 160, 146, 22, 0x303030);
  for (int i = 0; i < 5; ++i) {
    const double top = 172 + i * 70;
    if (i == 0) screen.glossy(4, top + 2, 472, 66, 10, bgr_to_rgb(v.list_bk_color), 0.55);
    cairo_set_source_surface(cr, status.surface(), 50 - cells[i] * 60.0, top + 2);
    cairo_rectangle(cr, 50, top + 2, 60, 66);
    cairo_fill(cr);
    screen.text_centred(names[i], 170, top + 35, 26, bgr_to_rgb(v.list_text_color));
    if (i == 1) paint_from(painter, "Theme/NewSMS.png", 32, 24, screen, 255, top + 32);
    cairo_rectangle(cr, 20, top + 69, 440, 1);
    screen.colour(bgr_to_rgb(v.list_line_color), 0.6);
    cairo_fill(cr);
  }
  cairo_save(canvas.cr());
  cairo_scale(canvas.cr(), canvas.width() / 480.0, canvas.height() / 800.0);
  cairo_set_source_surface(canvas.cr(), screen.surface(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(canvas.cr()), CAIRO_FILTER_GOOD);
  cairo_paint(canvas.cr());
  cairo_restore(canvas.cr());
  canvas.stroke_rounded(0, 0, canvas.width(), canvas.height(), 6, t.accent, 0.9, 2);
}

void ThemePackage::write_stage(const Manifest& manifest, const std::string& stage_dir) const {
  const SkinPainter painter(palette_);
  for (const ManifestImage& entry : manifest.cab_entries) {
    const std::string rel = Manifest::for_theme(entry.path, palette_.name);
    const std::string out = stage_dir + "/" + rel;
    if (entry.width == 0) {
      if (rel != "BriskLibTavrinTheme.xml")
        throw std::runtime_error("cannot make cab entry " + rel);
      std::filesystem::create_directories(std::filesystem::path(out).parent_path());
      std::ofstream file(out, std::ios::binary | std::ios::trunc);
      file << theme_file();
      if (!file) throw std::runtime_error("cannot write " + out);
      continue;
    }
    // The theme's own background goes below Theme/<name>/; the painter knows it as bk.png.
    const std::string name = rel == "Theme/" + palette_.name + "/bk.png" ? "Theme/bk.png" : rel;
    Canvas canvas(entry.width, entry.height);
    if (!painter.paint(name, canvas)) throw std::runtime_error("no painter for cab entry " + rel);
    canvas.save(out);
  }
}

}  // namespace tavrin::tools
