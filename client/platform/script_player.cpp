// Script parsing and replay; see script_player.h.
#include "platform/script_player.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/input_panel.h"
#include "platform/text_codec.h"

namespace tavrin::platform {
namespace {

using Clock = std::chrono::steady_clock;

const std::map<std::string, uint32_t>& named_keys() {
  static const std::map<std::string, uint32_t> keys = {
      {"left", key::kLeft},     {"right", key::kRight},    {"up", key::kUp},
      {"down", key::kDown},     {"home", key::kHome},      {"end", key::kEnd},
      {"delete", key::kDelete}, {"backspace", key::kBack}, {"enter", key::kReturn},
      {"tab", key::kTab},       {"escape", key::kEscape}};
  return keys;
}

std::optional<uint32_t> key_of(const std::string& name) {
  auto it = named_keys().find(name);
  if (it != named_keys().end()) return it->second;
  if (name.size() == 1 && std::isalnum(uint8_t(name[0])))
    return uint32_t(std::toupper(uint8_t(name[0])));
  return std::nullopt;
}

}  // namespace

std::optional<std::vector<ScriptPlayer::Step>> ScriptPlayer::parse(const std::string& source,
                                                                   std::string* error) {
  std::vector<Step> steps;
  std::istringstream in(source);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    Step step;
    step.line = number;
    if (!(words >> step.command) || step.command[0] == '#') continue;
    const std::string& c = step.command;
    auto read_ints = [&](size_t min, size_t max) -> bool {
      int v;
      while (step.numbers.size() < max && words >> v) step.numbers.push_back(v);
      std::string rest;
      return step.numbers.size() >= min && !(words >> rest);
    };
    if (c == "tap" || c == "down" || c == "move" || c == "up") {
      if (!read_ints(2, 2)) return fail(c + " wants X Y");
    } else if (c == "drag") {
      if (!read_ints(4, 5)) return fail("drag wants X1 Y1 X2 Y2 [MS]");
      if (step.numbers.size() == 4) step.numbers.push_back(200);
    } else if (c == "wait") {
      if (!read_ints(1, 1) || step.numbers[0] < 0) return fail("wait wants MS");
    } else if (c == "quit") {
      if (!read_ints(0, 1)) return fail("quit wants an optional exit code");
      if (step.numbers.empty()) step.numbers.push_back(0);
    } else if (c == "key") {
      std::string name, mod;
      if (!(words >> name) || !key_of(name)) return fail("key wants a key name");
      step.numbers.push_back(int(*key_of(name)));
      step.numbers.push_back(0);
      step.numbers.push_back(0);
      while (words >> mod) {
        if (mod == "shift")
          step.numbers[1] = 1;
        else if (mod == "ctrl")
          step.numbers[2] = 1;
        else
          return fail("unknown key modifier " + mod);
      }
    } else if (c == "text") {
      const size_t at = line.find("text") + 4;
      step.text = at < line.size() ? line.substr(at + 1) : "";
    } else if (c == "screenshot") {
      if (!(words >> step.text)) return fail("screenshot wants a file name");
    } else if (c == "mark") {
      if (!(words >> step.text)) return fail("mark wants a word");
    } else if (c == "panel") {
      if (!(words >> step.text)) return fail("panel wants a key's label");
    } else {
      return fail("unknown command " + c);
    }
    steps.push_back(std::move(step));
  }
  return steps;
}

std::optional<std::vector<ScriptPlayer::Step>> ScriptPlayer::load(const std::string& path,
                                                                  std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return std::nullopt;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  return parse(ss.str(), error);
}

ScriptPlayer::ScriptPlayer(WindowSystem& windows, Display& display, std::vector<Step> steps)
    : windows_(windows),
      display_(display),
      inner_(windows.event_source()),
      steps_(std::move(steps)) {
  windows_.set_event_source(this);
}

ScriptPlayer::~ScriptPlayer() {
  if (windows_.event_source() == this) windows_.set_event_source(inner_);
}

void ScriptPlayer::poll() {
  if (inner_) inner_->poll();
}

int ScriptPlayer::max_wait_ms() {
  int wait = inner_ ? inner_->max_wait_ms() : -1;
  if (!finished()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(not_before_ - Clock::now());
    const int ms = int(std::max<long long>(0, left.count()));
    wait = wait < 0 ? ms : std::min(wait, ms);
  }
  return wait;
}

void ScriptPlayer::idle() {
  if (inner_) inner_->idle();
  if (finished() || Clock::now() < not_before_) return;
  run(steps_[next_++]);
}

void ScriptPlayer::run(const Step& s) {
  const auto& n = s.numbers;
  if (s.command == "tap") {
    windows_.stylus(StylusAction::kDown, {n[0], n[1]});
    windows_.stylus(StylusAction::kUp, {n[0], n[1]});
  } else if (s.command == "down") {
    windows_.stylus(StylusAction::kDown, {n[0], n[1]});
  } else if (s.command == "move") {
    windows_.stylus(StylusAction::kMove, {n[0], n[1]});
  } else if (s.command == "up") {
    windows_.stylus(StylusAction::kUp, {n[0], n[1]});
  } else if (s.command == "drag") {
    // The moves are spread in time so that lists see a real flick speed.
    constexpr int kSteps = 10;
    windows_.stylus(StylusAction::kDown, {n[0], n[1]});
    for (int i = 1; i <= kSteps; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(n[4] / kSteps));
      windows_.stylus(StylusAction::kMove,
                      {n[0] + (n[2] - n[0]) * i / kSteps, n[1] + (n[3] - n[1]) * i / kSteps});
    }
    windows_.stylus(StylusAction::kUp, {n[2], n[3]});
  } else if (s.command == "key") {
    const auto k = uint32_t(n[0]);
    if (n[1]) windows_.key(key::kShift, true);
    if (n[2]) windows_.key(key::kControl, true);
    windows_.key(k, true);
    if (n[2] && k >= 'A' && k <= 'Z')
      windows_.character(char16_t(k - 'A' + 1));
    else if (k == key::kBack || k == key::kReturn || k == key::kTab)
      windows_.character(char16_t(k));
    windows_.key(k, false);
    if (n[2]) windows_.key(key::kControl, false);
    if (n[1]) windows_.key(key::kShift, false);
  } else if (s.command == "text") {
    for (char16_t c : utf8_to_utf16(s.text)) windows_.character(c);
  } else if (s.command == "panel") {
    // A tap where the touch keyboard draws the key, as a finger would.
    const InputPanel* panel = InputPanel::instance();
    const Point at = panel && panel->top_edge() < Display::kHeight
                         ? panel->key_point(utf8_to_utf16(s.text))
                         : Point{-1, -1};
    if (at.x < 0) {
      failures_.push_back("line " + std::to_string(s.line) + ": no key " + s.text +
                          " on the panel");
    } else {
      windows_.stylus(StylusAction::kDown, at);
      windows_.stylus(StylusAction::kUp, at);
    }
  } else if (s.command == "wait") {
    not_before_ = Clock::now() + std::chrono::milliseconds(n[0]);
  } else if (s.command == "screenshot") {
    if (!display_.save_png(s.text))
      failures_.push_back("line " + std::to_string(s.line) + ": cannot write " + s.text);
  } else if (s.command == "mark") {
    // For whoever drives the client: this point of the script was reached,
    // with everything before it handled and painted.
    std::printf("mark %s\n", s.text.c_str());
    std::fflush(stdout);
  } else if (s.command == "quit") {
    windows_.quit(n[0]);
  }
}

}  // namespace tavrin::platform
