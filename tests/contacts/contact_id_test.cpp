// Contact ids from uris, the id classes and display numbers.
#include "roster/contact_id.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "libtavrin.h"

using namespace tavrin::contacts;

namespace {

struct IdCase {
  const char* uri;
  long id;
};

TEST(ContactId, DerivedFromUriByTheThreeRules) {
  const IdCase cases[] = {
      {"sip:123456789@tavrin.test;p=1234", 123456789},
      {"sip:5000@x", 5000},
      {"sip:PG123456@tavrin.test", 123456},
      {"sip:PG7@d", 7},
      {"tel:13912345678", 1912345678},  // 139 d -> 19 d
      {"tel:15812345678", 2012345678},  // 158 d -> 20 d
      {"tel:15912345678", 12345678},    // 159 d -> d
      {"tel:15012345678", 1012345678},
      {"tel:15112345678", 1112345678},
      {"tel:15212345678", 1212345678},
      {"tel:15712345678", 1312345678},
      {"tel:15312345678", 1012345678},  // other second digits become 0
      {"tel:13012345678", 1012345678},  // 130..133 meet 150, 151, 152, 157
      {"tel:13112345678", 1112345678},
      {"tel:13212345678", 1212345678},
      {"tel:13312345678", 1312345678},
      {"tel:13812345678", 1812345678},
      {"tel:14712345678", 2147483647},  // beyond 32 bits: clamped
      {"tel:16612345678", 2147483647},
      {"tel:18612345678", 2147483647},
      {"tel:19912345678", 2147483647},
      {"sip:99999999999999999999@x", 2147483647},
      {"sip:-99999999999@x", -2147483647 - 1},
      {"plain-text", 0},
      {"sip:abc", 0},
      {"", 0},
      {nullptr, 0},
      {"a@b", 0},  // '@' inside the prefix: no digits
      {"sip:@x", 0},
      {"tel:", 0},  // nothing after the prefix
      {"tel:1", 0},
      {"tel:15", 1},  // '5' rewritten, no second digit
  };
  for (const auto& c : cases)
    EXPECT_EQ(contact_id_from_uri(c.uri), c.id) << (c.uri ? c.uri : "(null)");
}

TEST(ContactId, ClassesOfIds) {
  struct {
    long id;
    bool pc, qun;
  } cases[] = {
      {123456789, true, false},   {100000000, true, false}, {999999999, true, false},
      {1000000000, false, false}, {10000000, true, true},   {10000001, false, false},
      {99999999, false, false},   {10000, true, false},     {123456, true, true},
      {1912345678, false, false}, {0, true, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(fx_is_pc_user_by_id(c.id), c.pc ? 1 : 0) << c.id;
    EXPECT_EQ(fx_is_qun_by_id(c.id), c.qun ? 1 : 0) << c.id;
  }
}

TEST(ContactId, DisplayNumberInvertsTheMobileRewrite) {
  struct {
    long id;
    const char* shown;
  } cases[] = {
      {123456789, "123456789"},    {5000, "5000"},
      {1912345678, "13912345678"}, {2012345678, "15812345678"},
      {12345678, "15912345678"},   {1012345678, "15012345678"},
      {1112345678, "15112345678"}, {1212345678, "15212345678"},
      {1312345678, "15712345678"}, {1412345678, "13412345678"},
      {1800000001, "13800000001"}, {2147483647, "13147483647"},
  };
  for (const auto& c : cases) {
    char* shown = fx_get_original_ID(c.id);
    ASSERT_NE(shown, nullptr);
    EXPECT_STREQ(shown, c.shown) << c.id;
    std::free(shown);
  }
  // Every mobile number the rewrite maps comes back as typed.
  for (const char* number : {"13912345678", "15812345678", "15912345678", "15012345678",
                             "13512345678", "15212345678", "15700000000"}) {
    std::string uri = std::string("tel:") + number;
    EXPECT_EQ(display_number(contact_id_from_uri(uri.c_str())), number);
  }
}

TEST(ContactId, ToInt32ClampsAndReadsLeadingNumber) {
  EXPECT_EQ(to_int32("3;5"), 3);
  EXPECT_EQ(to_int32(" 42x"), 42);
  EXPECT_EQ(to_int32("x"), 0);
  EXPECT_EQ(to_int32(nullptr), 0);
  EXPECT_EQ(to_int32("4294967296"), 2147483647);
  EXPECT_EQ(to_int32("-4294967296"), -2147483647 - 1);
}

}  // namespace
