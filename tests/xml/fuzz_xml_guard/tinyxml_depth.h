// The element depth of a document TinyXML built, measured without
// recursion (the fuzz harness and the guard's tests compare it with the
// guard's verdict).
#pragma once

#include <tinyxml.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace tavrin::test {

inline std::size_t tinyxml_depth(const TiXmlNode& root) {
  std::size_t deepest = 0;
  std::vector<std::pair<const TiXmlNode*, std::size_t>> todo{{&root, 0}};
  while (!todo.empty()) {
    auto [node, depth] = todo.back();
    todo.pop_back();
    for (const TiXmlNode* c = node->FirstChild(); c != nullptr; c = c->NextSibling()) {
      const std::size_t d = depth + (c->ToElement() != nullptr ? 1 : 0);
      if (d > deepest) deepest = d;
      todo.emplace_back(c, d);
    }
  }
  return deepest;
}

}  // namespace tavrin::test
