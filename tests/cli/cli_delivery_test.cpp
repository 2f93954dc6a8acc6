// Every line arrives once: first lines of a new dialog, lines stored while
// the receiver's connection was down and fetched by its re-login, and large
// offline backlogs handed over across a fresh start, with the offline box's
// refusal shown to the sender as a failed line. tavrin-cli and tavrin-server
// are the real binaries.
#include <algorithm>
#include <map>
#include <string>

#include "cli_fixture.h"

namespace tavrin::test {
namespace {

constexpr const char* kAliceId = "100000001";
constexpr const char* kBobId = "100000002";
constexpr const char* kCarolId = "100000003";

// The text of a chat line message, or "".
std::string text_of(const std::string& line) {
  static const std::regex text("\"text\":\"([^\"]*)\"");
  std::smatch m;
  return std::regex_search(line, m, text) ? m[1].str() : std::string();
}

// Reads the 16s that arrive, counting each "TAG N ..." line by N, until
// `expected` distinct lines came or nothing more came within the limit.
std::map<int, int> read_lines(ChildProcess& p, const std::string& tag, int expected) {
  std::map<int, int> seen;
  const std::regex numbered("^" + tag + " ([0-9]+)");
  while (int(seen.size()) < expected) {
    const auto line = p.read_until([](const std::string& l) { return is_message(l, 16); }, kLimit);
    if (!line) break;
    std::smatch m;
    const std::string text = text_of(*line);
    if (std::regex_search(text, m, numbered)) ++seen[std::stoi(m[1].str())];
  }
  return seen;
}

// Sends `count` lines "TAG N <pad>" to `to`, a window at a time, and waits
// for each one's 52. A window stays under the engine's 64 waiting lines per
// contact and under a pipe's 64 kB: the CLI echoes each line in its 52, and
// a CLI blocked on a full output stops reading its input.
void send_lines(ChildProcess& p, const std::string& to, const std::string& tag, int count,
                size_t size) {
  const int kWindow = int(std::clamp<size_t>(24 * 1024 / std::max<size_t>(size, 1), 1, 50));
  for (int first = 0; first < count; first += kWindow) {
    const int n = std::min(kWindow, count - first);
    for (int i = first; i < first + n; ++i) {
      std::string text = tag + " " + std::to_string(i) + " ";
      text.append(size > text.size() ? size - text.size() : 0, 'x');
      p.write_line("send " + to + " " + text);
    }
    int delivered = 0;
    while (delivered < n) {
      const auto line = p.read_until(
          [](const std::string& l) { return is_message(l, 52) || is_message(l, 53); }, kLimit);
      ASSERT_TRUE(line && is_message(*line, 52))
          << tag << " from " << first << ": " << line.value_or("(nothing)");
      ++delivered;
    }
  }
}

// Each of 0..count-1 exactly once.
void expect_each_once(const std::map<int, int>& seen, int count, const std::string& what) {
  int missing = 0, twice = 0;
  for (int i = 0; i < count; ++i) {
    const auto it = seen.find(i);
    if (it == seen.end())
      ++missing;
    else if (it->second > 1)
      ++twice;
  }
  EXPECT_EQ(missing, 0) << what;
  EXPECT_EQ(twice, 0) << what;
}

TEST_F(CliTest, EachFirstLineOfADialogGoesOutWithTheInvitationsAnswerInOrder) {
  // The lines written while the invitation is out leave when its 200 comes
  // (the engine's unit tests show this without any timer); here the real
  // binaries show them delivered, in order, dialog after dialog.
  auto alice = signed_in(kAliceId, "alice123");
  auto bob = signed_in(kBobId, "bob123");
  for (const std::string round : {"a", "b", "c"}) {
    // Written back to back (a result may come between them, so the output
    // is read only below).
    for (const std::string n : {"first", "second"})
      alice->write_line("send 100000002 " + n + " " + round);
    for (const std::string n : {"first", "second"}) {
      const std::string want = n + " " + round;
      EXPECT_TRUE(alice->read_until(
          [&](const std::string& l) { return is_message(l, 52) && text_of(l) == want; }, kLimit))
          << want << "\n"
          << alice->transcript();
      // Read in order: "second" before "first" would consume it here.
      EXPECT_TRUE(bob->read_until(
          [&](const std::string& l) { return is_message(l, 16) && text_of(l) == want; }, kLimit))
          << want << "\n"
          << bob->transcript();
    }
    command(*alice, "end 100000002", "end");  // the next round opens a new dialog
  }
}

TEST_F(CliOutageTest, ARelogInFetchesTheLinesStoredWhileTheConnectionWasDown) {
  auto alice = cli_with_remarks(kAliceId, "alice123");
  kill_server();
  // After the third failed attempt the next waits 8 s: time for Bob to come
  // back first and leave his lines offline.
  ASSERT_TRUE(alice->read_until(
      [](const std::string& l) { return has(l, "login attempt 3 failed"); }, kLimit))
      << alice->transcript();
  restart_server();
  auto bob = cli_with_remarks(kBobId, "bob123");
  send_lines(*bob, kAliceId, "away", 10, 20);
  ASSERT_TRUE(alice->read_until([](const std::string& l) { return is_message(l, 14); }, kLimit))
      << alice->transcript();
  expect_each_once(read_lines(*alice, "away", 10), 10, "lines for the re-login");
}

TEST_F(CliTest, LargeBacklogsArriveWholeAtAFreshStartAndAFullBoxRefuses) {
  auto bob = signed_in(kBobId, "bob123");
  const struct {
    const char* tag;
    int count;
    size_t size;
  } backlogs[] = {{"big", 500, 10 * 1024}, {"many", 5000, 1024}};
  for (const auto& b : backlogs) {
    send_lines(*bob, kCarolId, b.tag, b.count, b.size);
    if (b.count == 5000) {
      // Bob's share of Carol's box is used up: the next line is refused,
      // and shown to Bob as not delivered.
      command(*bob, "send 100000003 one too many", "send");
      const std::string refused = wait_for(*bob, 53);
      EXPECT_EQ(text_of(refused), "one too many") << refused;
      EXPECT_TRUE(has(refused, "\"event\":\"not-delivered\"")) << refused;
    }
    // A line of someone else's, behind the backlog.
    auto alice = signed_in(kAliceId, "alice123");
    command(*alice, std::string("send 100000003 ") + b.tag + " behind", "send");
    EXPECT_EQ(text_of(wait_for(*alice, 52)), std::string(b.tag) + " behind");
    alice->write_line("quit");
    EXPECT_EQ(alice->wait_exit(kLimit), 0);

    auto carol = signed_in(kCarolId, "carol123");
    expect_each_once(read_lines(*carol, b.tag, b.count), b.count, b.tag);
    EXPECT_TRUE(carol->read_until(
        [&](const std::string& l) {
          return is_message(l, 16) && text_of(l) == std::string(b.tag) + " behind";
        },
        kLimit))
        << b.tag;
    carol->write_line("quit");
    EXPECT_EQ(carol->wait_exit(kLimit), 0);
    // Nothing comes twice at the next start.
    auto again = signed_in(kCarolId, "carol123");
    EXPECT_FALSE(again->read_until([](const std::string& l) { return is_message(l, 16); },
                                   std::chrono::seconds(6)))
        << b.tag;
    again->write_line("quit");
    EXPECT_EQ(again->wait_exit(kLimit), 0);
  }
}

}  // namespace
}  // namespace tavrin::test
