// Login digest and Base64. MD5 values are checked against the openssl command
// line tool, a route independent of the library call the engine uses.
#include "session/digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "sipc/base64.h"
#include "sipc/message.h"

namespace tavrin {
namespace {

std::string to_upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// MD5 of the bytes as the openssl tool computes it, upper-case hex.
std::string openssl_md5(std::string_view bytes) {
  namespace fs = std::filesystem;
  std::random_device rd;
  fs::path file = fs::temp_directory_path() / ("tavrin_md5_" + std::to_string(rd()) + ".bin");
  {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  std::string cmd = "openssl dgst -md5 -r '" + file.string() + "'";
  std::string text;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) text += buf;
    pclose(p);
  }
  fs::remove(file);
  return to_upper(text.substr(0, 32));
}

std::string unhex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

TEST(Digest, Md5MatchesKnownVectorsAndOpensslTool) {
  EXPECT_EQ(md5_hex(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(md5_hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
  std::string binary("\0\xff\x01 tavrin\r\n", 11);
  ASSERT_EQ(openssl_md5(binary).size(), 32u) << "openssl tool missing";
  EXPECT_EQ(md5_hex(binary), openssl_md5(binary));
  md5_value raw = md5_raw(binary);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.data()), 16), unhex(openssl_md5(binary)));
}

TEST(Digest, ClientNonceIsFixedUpperHex) {
  std::string n = digest_client_nonce();
  EXPECT_EQ(n, digest_client_nonce());
  ASSERT_EQ(n.size(), 32u);
  EXPECT_EQ(n.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(n, openssl_md5("linux for tavrin of morvik"));
}

// The answer recomputed step by step with the openssl tool only.
TEST(Digest, AnswerMatchesIndependentComputation) {
  const std::string login = "512345678", domain = "tavrin.test", password = "pa:ss 密码";
  const std::string nonce = "9F1B24C87E2A4D5C";
  const std::string challenge = "Digest algorithm=\"MD5-sess;SHA1-sess\",nonce=\"" + nonce + "\"";

  const std::string cnonce = openssl_md5("linux for tavrin of morvik");
  const std::string key = unhex(openssl_md5(login + ":" + domain + ":" + password));
  const std::string h1 = openssl_md5(key + ":" + nonce + ":" + cnonce);
  const std::string h2 = openssl_md5("REGISTER:" + login);
  const std::string response = openssl_md5(h1 + ":" + nonce + ":" + h2);
  const std::string want = "Digest response=\"" + response + "\",cnonce=\"" + cnonce + "\"";

  EXPECT_EQ(digest_answer(challenge, login, domain, password), want);

  sipc_message m;
  m.set_status(401);
  m.add_header("W", challenge);
  EXPECT_EQ(digest_answer(m, login, domain, password), want);
}

TEST(Digest, NonceChangesResponseSameNonceRepeatsIt) {
  auto a = digest_answer("nonce=\"A\"", "1", "d", "p");
  auto b = digest_answer("nonce=\"B\"", "1", "d", "p");
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
  EXPECT_EQ(a, digest_answer("x nonce=\"A\" nonce=\"B\"", "1", "d", "p"));  // the first one counts
  EXPECT_EQ(a->find(", "), std::string::npos);
}

TEST(Digest, ChallengeWithoutNonce) {
  EXPECT_FALSE(digest_answer("Digest realm=\"x\"", "1", "d", "p"));
  EXPECT_FALSE(digest_answer("Digest nonce=\"unterminated", "1", "d", "p"));
  EXPECT_FALSE(digest_answer(sipc_message(), "1", "d", "p"));
  EXPECT_EQ(digest_nonce("nonce=\"\""), "");
}

TEST(Base64, PaddingAndAlphabet) {
  struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"a", "YQ=="},
      {"ab", "YWI="},
      {"abc", "YWJj"},
      {"user:secret", "dXNlcjpzZWNyZXQ="},
      {std::string("\xfb\xff\xbf", 3), "+/+/"},
      {std::string("\0\0", 2), "AAA="},
  };
  for (const auto& c : cases) EXPECT_EQ(base64(c.in), c.out) << c.in;
  EXPECT_EQ(base64("user:secret", 0), "dXNlcjpzZWNyZXQ=");  // 0: up to the NUL
  EXPECT_EQ(base64("user:secret", 4), "dXNlcg==");
}

}  // namespace
}  // namespace tavrin
