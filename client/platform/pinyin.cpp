// Chinese readings and pinyin composition; see pinyin.h.
#include "platform/pinyin.h"

#include <pinyin.h>

#include <algorithm>
#include <map>
#include <system_error>

#include "platform/text_codec.h"

namespace tavrin::platform {
namespace {

std::filesystem::path& user_folder() {
  static std::filesystem::path folder;
  return folder;
}

// The library hands its keys out as an array of its own two-byte records.
constexpr guint kKeySize = 2;

std::string utf8_of(char32_t ch) {
  std::string s;
  if (ch < 0x80) {
    s += char(ch);
  } else if (ch < 0x800) {
    s += char(0xC0 | (ch >> 6));
    s += char(0x80 | (ch & 0x3F));
  } else if (ch < 0x10000) {
    s += char(0xE0 | (ch >> 12));
    s += char(0x80 | ((ch >> 6) & 0x3F));
    s += char(0x80 | (ch & 0x3F));
  } else {
    s += char(0xF0 | (ch >> 18));
    s += char(0x80 | ((ch >> 12) & 0x3F));
    s += char(0x80 | ((ch >> 6) & 0x3F));
    s += char(0x80 | (ch & 0x3F));
  }
  return s;
}

}  // namespace

struct Pinyin::Library {
  pinyin_context_t* context = nullptr;
  pinyin_instance_t* instance = nullptr;
  std::map<char32_t, std::vector<std::string>> readings;  // looked up once each
  ~Library() {
    if (instance) pinyin_free_instance(instance);
    if (context) pinyin_fini(context);
  }
};

void Pinyin::set_user_folder(std::filesystem::path folder) {
  user_folder() = std::move(folder);
}

Pinyin* Pinyin::shared() {
  static std::unique_ptr<Pinyin> made = []() -> std::unique_ptr<Pinyin> {
    const std::filesystem::path data = TAVRIN_PINYIN_DATA;
    std::error_code ec;
    if (!std::filesystem::exists(data / "table.conf", ec)) return nullptr;
    auto lib = std::make_unique<Library>();
    std::string user = user_folder().string();
    if (!user.empty()) std::filesystem::create_directories(user, ec);
    lib->context = pinyin_init(data.c_str(), user.empty() || ec ? nullptr : user.c_str());
    if (!lib->context) return nullptr;
    // Initials alone ("zs"), and the usual slips of full pinyin.
    pinyin_set_options(lib->context, pinyin_option_t(PINYIN_INCOMPLETE) | PINYIN_CORRECT_ALL |
                                         USE_DIVIDED_TABLE | USE_RESPLIT_TABLE | DYNAMIC_ADJUST);
    lib->instance = pinyin_alloc_instance(lib->context);
    if (!lib->instance) return nullptr;
    return std::unique_ptr<Pinyin>(new Pinyin(std::move(lib)));
  }();
  return made.get();
}

Pinyin::Pinyin(std::unique_ptr<Library> lib) : lib_(std::move(lib)) {}

Pinyin::~Pinyin() {
  if (lib_ && lib_->context) pinyin_save(lib_->context);
}

const std::vector<std::string>& Pinyin::readings(char32_t ch) {
  auto found = lib_->readings.find(ch);
  if (found != lib_->readings.end()) return found->second;
  std::vector<std::string>& out = lib_->readings[ch];
  if (ch < 0x2E80) return out;  // no Chinese character below the CJK blocks
  pinyin_instance_t* in = lib_->instance;
  GArray* tokens = g_array_new(FALSE, TRUE, sizeof(phrase_token_t));
  GArray* keys = g_array_new(FALSE, TRUE, kKeySize);
  pinyin_lookup_tokens(in, utf8_of(ch).c_str(), tokens);
  for (guint t = 0; t < tokens->len; ++t) {
    const phrase_token_t token = g_array_index(tokens, phrase_token_t, t);
    guint count = 0;
    if (!pinyin_token_get_n_pronunciation(in, token, &count)) continue;
    for (guint n = 0; n < count; ++n) {
      g_array_set_size(keys, 0);
      if (!pinyin_token_get_nth_pronunciation(in, token, n, keys) || keys->len != 1) continue;
      gchar* text = nullptr;
      if (pinyin_get_pinyin_string(in, reinterpret_cast<ChewingKey*>(keys->data), &text) && text) {
        std::string r = text;
        // Toneless: the library marks tones with a trailing digit.
        while (!r.empty() && (r.back() < 'a' || r.back() > 'z')) r.pop_back();
        if (!r.empty() && std::find(out.begin(), out.end(), r) == out.end()) out.push_back(r);
      }
      g_free(text);
    }
  }
  g_array_free(keys, TRUE);
  g_array_free(tokens, TRUE);
  return out;
}

void Pinyin::set_letters(std::string letters) {
  letters_ = std::move(letters);
  offset_ = 0;
  chosen_.clear();
  listed_.clear();
  pinyin_reset(lib_->instance);
  if (!letters_.empty()) {
    pinyin_parse_more_full_pinyins(lib_->instance, letters_.c_str());
    pinyin_guess_sentence(lib_->instance);
  }
}

std::string Pinyin::rest() const {
  return offset_ < letters_.size() ? letters_.substr(offset_) : std::string();
}

std::vector<std::u16string> Pinyin::candidates(size_t max) {
  std::vector<std::u16string> out;
  listed_.clear();
  if (offset_ >= letters_.size()) return out;
  pinyin_instance_t* in = lib_->instance;
  pinyin_guess_candidates(in, offset_, SORT_BY_PHRASE_LENGTH_AND_PINYIN_LENGTH_AND_FREQUENCY);
  guint count = 0;
  pinyin_get_n_candidate(in, &count);
  for (guint i = 0; i < count && out.size() < max; ++i) {
    lookup_candidate_t* c = nullptr;
    const gchar* text = nullptr;
    if (!pinyin_get_candidate(in, i, &c) || !pinyin_get_candidate_string(in, c, &text) || !text)
      continue;
    // Past the first choice a whole-sentence guess would repeat what was chosen.
    lookup_candidate_type_t type = NORMAL_CANDIDATE;
    if (offset_ > 0 && pinyin_get_candidate_type(in, c, &type) && type == NBEST_MATCH_CANDIDATE)
      continue;
    std::u16string s = utf8_to_utf16(text);
    if (s.empty() || std::find(out.begin(), out.end(), s) != out.end()) continue;
    out.push_back(std::move(s));
    listed_.push_back(i);
  }
  return out;
}

std::optional<std::u16string> Pinyin::choose(size_t i) {
  if (i >= listed_.size()) return std::nullopt;
  pinyin_instance_t* in = lib_->instance;
  lookup_candidate_t* c = nullptr;
  const gchar* text = nullptr;
  if (!pinyin_get_candidate(in, guint(listed_[i]), &c) ||
      !pinyin_get_candidate_string(in, c, &text))
    return std::nullopt;
  const std::u16string piece = text ? utf8_to_utf16(text) : std::u16string();
  const int next = pinyin_choose_candidate(in, offset_, c);
  listed_.clear();
  // The library counts its offsets in letters; a whole-sentence candidate
  // jumps to the end.
  if (next <= int(offset_)) return std::nullopt;
  offset_ = size_t(next);
  chosen_ += piece;
  const size_t parsed = pinyin_get_parsed_input_length(in);
  if (offset_ < parsed && offset_ < letters_.size()) return std::nullopt;
  // The library's sentence under the choices made; letters it could not
  // read stay letters.
  std::u16string whole = chosen_;
  char* sentence = nullptr;
  if (pinyin_guess_sentence(in) && pinyin_get_sentence(in, 0, &sentence) && sentence)
    whole = utf8_to_utf16(sentence);
  g_free(sentence);
  if (parsed < letters_.size()) whole += utf8_to_utf16(letters_.substr(parsed));
  pinyin_train(in, 0);
  clear();
  return whole;
}

void Pinyin::clear() {
  letters_.clear();
  offset_ = 0;
  chosen_.clear();
  listed_.clear();
  pinyin_reset(lib_->instance);
}

}  // namespace tavrin::platform
