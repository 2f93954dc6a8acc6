// A reader that never answers a batch of its offline lines (an old or
// broken engine) does not hold back the lines behind it: after the
// service's patience (30 s) the next batch comes, the unanswered lines stay
// stored, and a late answer still lets its line go. Slow by nature (the
// patience and the sweep that checks it), so it runs on its own.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "server_process.h"
#include "sipc_client.h"

using namespace tavrin;
using namespace tavrin::test;

namespace {

bool isLine(const sipc_message& m) {
  return !m.is_response() && m.method() == "M";
}

int offlineCount(SipcClient& c) {
  sipc_message answer;
  if (c.command("S", "GetOfflineMessages", "", &answer) != 200) return -1;
  const size_t at = answer.body().find("count=\"");
  return at == std::string::npos ? -1 : std::stoi(answer.body().substr(at + 7));
}

TEST(StalledReaderTest, AnUnansweredBatchHoldsBackNothingBehindIt) {
  ServerProcess server;
  SipcClient alice(server.sipcPort());
  ASSERT_EQ(alice.login("100000001", "alice123"), 200);
  constexpr int kLines = 60;  // a batch of 50, then 10
  for (int i = 0; i < kLines; ++i)
    ASSERT_EQ(alice.command("M", "", "line " + std::to_string(i), nullptr,
                            "sip:100000003@tavrin.local"),
              200);

  SipcClient carol(server.sipcPort());
  ASSERT_EQ(carol.login("100000003", "carol123"), 200);
  ASSERT_EQ(carol.command("S", "GetOfflineMessages", ""), 200);
  std::vector<sipc_message> first, second;
  sipc_message m;
  while (first.size() < 50 && carol.expect(isLine, m)) first.push_back(m);
  ASSERT_EQ(first.size(), 50u);
  // Nothing answered: the rest comes once the service gives up waiting.
  ASSERT_TRUE(carol.expect(isLine, m, std::chrono::seconds(45)));
  second.push_back(m);
  while (second.size() < 10 && carol.expect(isLine, m)) second.push_back(m);
  ASSERT_EQ(second.size(), 10u);
  EXPECT_EQ(second.front().body(), "line 50");
  for (sipc_message ok : second) {
    ok.set_status(200);
    ok.set_body("");
    carol.send(ok);
  }
  // A late answer to one of the first batch still lets it go.
  sipc_message late = first.front();
  late.set_status(200);
  late.set_body("");
  carol.send(late);
  EXPECT_EQ(offlineCount(carol), 49);
}

}  // namespace
