#include "manifest.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tavrin::tools {
namespace {

std::string rest_of(std::istringstream& in) {
  std::string rest;
  std::getline(in >> std::ws, rest);
  return rest;
}

}  // namespace

Manifest Manifest::load(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot open manifest " + path);
  Manifest m;
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    std::istringstream in(line);
    std::string kind;
    if (!(in >> kind) || kind[0] == '#') continue;
    const auto bad = [&] {
      return std::runtime_error(path + ":" + std::to_string(number) + ": bad line");
    };
    if (kind == "image" || kind == "cab") {
      ManifestImage img;
      if (!(in >> img.path)) throw bad();
      const bool sized =
          img.path.size() > 4 && img.path.compare(img.path.size() - 4, 4, ".png") == 0;
      if (sized && !(in >> img.width >> img.height)) throw bad();
      if (sized && (img.width <= 0 || img.height <= 0)) throw bad();
      if (kind == "image" && !sized) throw bad();
      img.note = rest_of(in);
      (kind == "image" ? m.images : m.cab_entries).push_back(img);
    } else if (kind == "theme") {
      std::string name;
      if (!(in >> name)) throw bad();
      m.themes.push_back(name);
    } else if (kind == "file") {
      std::string p;
      if (!(in >> p)) throw bad();
      m.files.push_back(p);
    } else {
      throw bad();
    }
  }
  return m;
}

std::string Manifest::for_theme(const std::string& path, const std::string& theme) {
  std::string out = path;
  const std::string key = "{theme}";
  for (size_t at = out.find(key); at != std::string::npos; at = out.find(key, at + theme.size()))
    out.replace(at, key.size(), theme);
  return out;
}

}  // namespace tavrin::tools
