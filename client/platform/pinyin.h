// Chinese readings and pinyin composition, from the system's pinyin library
// and its data. Two uses: the readings of a character (the contact search
// matches "zs" and "zhangsan" to 张三), and composing text from typed letters
// (the touch keyboard's pinyin mode: "women" offers 我们, 我, ...).
//
// One shared instance, made when first asked for; shared() is nullptr where
// the library's data are missing, and callers then do without pinyin. What
// the library learns from choices is kept in the folder given to
// set_user_folder (nowhere when none was given). UI thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::platform {

class Pinyin {
 public:
  // Before the first shared(): where the library keeps what it learns.
  static void set_user_folder(std::filesystem::path folder);
  static Pinyin* shared();

  ~Pinyin();
  Pinyin(const Pinyin&) = delete;
  Pinyin& operator=(const Pinyin&) = delete;

  // The toneless readings of one character, lower-case ("zhang"; "hang",
  // "xing" and "heng" for 行); empty for a character that has none.
  const std::vector<std::string>& readings(char32_t ch);

  // Composition. The letters typed so far (a-z and the ' divider); setting
  // them starts the choice over.
  void set_letters(std::string letters);
  const std::string& letters() const { return letters_; }
  // The letters not yet covered by a chosen candidate, and what the chosen
  // ones make so far: the composition reads chosen() + rest().
  std::string rest() const;
  const std::u16string& chosen() const { return chosen_; }
  // Candidates for the letters from the first one not yet chosen, best
  // first, no two alike; at most `max`.
  std::vector<std::u16string> candidates(size_t max);
  // Takes candidate i of the last candidates() list: the whole text once
  // every letter is covered (the composition then starts over), nullopt
  // while letters remain or for a bad index.
  std::optional<std::u16string> choose(size_t i);
  // Forgets the letters and the choices.
  void clear();

 private:
  struct Library;
  explicit Pinyin(std::unique_ptr<Library> lib);

  std::unique_ptr<Library> lib_;
  std::string letters_;
  size_t offset_ = 0;  // letters covered by chosen candidates
  std::u16string chosen_;
  std::vector<size_t> listed_;  // the library's index of each listed candidate
};

}  // namespace tavrin::platform
