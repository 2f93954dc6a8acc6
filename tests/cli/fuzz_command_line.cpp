// Fuzz harness: a line of user input through the command splitter, the
// word reader, the argument reader of the command it names, the number and
// proxy parsers and the JSON escaper.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli_session.h"
#include "command_line.h"
#include "command_table.h"
#include "json_writer.h"
#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  tavrin::cli::CommandLine c = tavrin::cli::split_command(line);
  for (const tavrin::cli::Command& row : tavrin::cli::CliSession::commands()) {
    tavrin::cli::CommandArgs args;
    std::string why;
    if (row.name == c.name) tavrin::cli::read_args(row, c.rest, &args, &why);
  }
  std::string word;
  long number = 0;
  for (int i = 0; i < 64 && tavrin::cli::take_word(&c.rest, &word); ++i)
    tavrin::cli::parse_number(word, &number);
  tavrin::cli::ProxyUrl proxy;
  std::string error;
  tavrin::cli::parse_proxy_url(line, &proxy, &error);
  tavrin::cli::JsonWriter j;
  j.field("text", line);
  (void)j.str();
  return 0;
}
