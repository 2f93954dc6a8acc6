// One JSON object on one line, built field by field. Texts are UTF-8 and
// are escaped (quotes, backslash, control characters); invalid UTF-8 bytes
// become U+FFFD so that every line stays valid JSON.
#pragma once

#include <string>
#include <string_view>

namespace tavrin::cli {

class JsonWriter {
 public:
  JsonWriter& field(std::string_view key, std::string_view text);
  JsonWriter& field(std::string_view key, long number);
  JsonWriter& field_bool(std::string_view key, bool value);
  // A value that is already JSON (an array or object built elsewhere).
  JsonWriter& field_raw(std::string_view key, std::string_view json);
  std::string str() const { return out_ + "}"; }

  static std::string quote(std::string_view text);

 private:
  void key(std::string_view k);
  std::string out_ = "{";
};

}  // namespace tavrin::cli
