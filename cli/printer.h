// Everything tavrin-cli writes to standard output: engine messages, command
// results and errors, as readable lines or (--json) one JSON object per
// line. Main thread only. Contact names are read from the engine's store
// under its lock.
#pragma once

#include <string>

#include "event.h"
#include "json_writer.h"

namespace tavrin::cli {

// What the main thread decoded for a message beyond its three words.
struct Decoded {
  bool has_chat = false;  // 16/17: the fetched line
  long from = 0;
  long source = 0;
  std::string text;
  std::string date;
};

class Printer {
 public:
  explicit Printer(bool json) : json_(json) {}

  void message(const Event& e, const Decoded& d);
  // A command result: the JSON object (with "result") or the readable line.
  void result(const JsonWriter& json, const std::string& readable);
  void error(const std::string& command, const std::string& text);
  // Plain remarks for people (not printed with --json).
  void note(const std::string& text);
  bool json() const { return json_; }
  // Once the login completed, contact details changes are worth a line.
  void set_session_open() { session_open_ = true; }

 private:
  void line(const std::string& text);
  // Writes text already made safe, and the line's end.
  void write_out(const std::string& shown);
  bool json_;
  bool session_open_ = false;
};

// A contact's display name (local name, nickname, else its number).
std::string contact_name(long id);
// Words for a status code 66..78.
const char* status_name(int code);

}  // namespace tavrin::cli
