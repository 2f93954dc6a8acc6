// Uris and send times as the server reads them.
#include <gtest/gtest.h>

#include "sms_service.h"
#include "uri.h"

using namespace tavrin::server;

namespace {

TEST(UriTest, ReadsUsersGroupsAndPhones) {
  struct Case {
    const char* text;
    Uri::Kind kind;
    long number;
    const char* mobile;
  } cases[] = {
      {"sip:100000001@tavrin.local;p=1", Uri::Kind::kUser, 100000001, ""},
      {"sip:100000001", Uri::Kind::kUser, 100000001, ""},
      {"sip:PG123456@tavrin.local", Uri::Kind::kGroup, 123456, ""},
      {"tel:13900000001", Uri::Kind::kTel, 0, "13900000001"},
      {"sip:12345@x", Uri::Kind::kNone, 0, ""},  // not a Tavrin number
      {"sip:PG0@x", Uri::Kind::kNone, 0, ""},
      {"sip:PG99999999@x", Uri::Kind::kNone, 0, ""},  // beyond group numbers
      {"sip:99999999999999999999@x", Uri::Kind::kNone, 0, ""},
      {"sip:-100000001@x", Uri::Kind::kNone, 0, ""},
      {"tel:1390000000", Uri::Kind::kNone, 0, ""},  // 10 digits
      {"tel:2390000000x", Uri::Kind::kNone, 0, ""},
      {"mailto:a@b", Uri::Kind::kNone, 0, ""},
      {"", Uri::Kind::kNone, 0, ""},
  };
  for (const auto& c : cases) {
    Uri u = parseUri(c.text);
    EXPECT_EQ(u.kind, c.kind) << c.text;
    EXPECT_EQ(u.number, c.number) << c.text;
    EXPECT_EQ(u.mobile, c.mobile) << c.text;
  }
  EXPECT_EQ(userUri(100000002, "tavrin.local"), "sip:100000002@tavrin.local;p=1");
  EXPECT_EQ(groupUri(234567, "tavrin.local"), "sip:PG234567@tavrin.local");
}

TEST(SendTimeTest, AcceptsTheClientsFormAndRefusesTheRest) {
  EXPECT_GT(parseSendTime("2030-05-06 07:08:00"), 0);
  EXPECT_EQ(parseSendTime("2030-05-06 07:08:00") + 60, parseSendTime("2030-05-06 07:09:00"));
  EXPECT_GT(parseSendTime("2030-05-06T07:08"), 0);
  for (const char* bad : {"", "tomorrow", "2030-13-01 00:00:00", "2030-01-01 25:00:00",
                          "2030-01-01", "1960-01-01 00:00:00"})
    EXPECT_EQ(parseSendTime(bad), -1) << bad;
}

}  // namespace
