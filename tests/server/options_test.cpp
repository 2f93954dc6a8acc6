// The server's configuration file: the same settings as its flags, flags on
// the command line over the file, and a wrong line named by file and number.
#include "options.h"

#include <gtest/gtest.h>

#include <fstream>

#include "temp_dir.h"

using namespace tavrin::server;

namespace {

std::optional<std::string> parse(std::vector<std::string> args, Options& o) {
  args.insert(args.begin(), "tavrin-server");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  bool help = false;
  return parseOptions(int(argv.size()), argv.data(), o, help);
}

}  // namespace

TEST(ServerConfig, SetsWhatTheFlagsSet) {
  Options o;
  const auto err = parseConfig(
      "# the service\n"
      "\n"
      "data = /var/lib/tavrin-server\n"
      "  listen=0.0.0.0  \r\n"
      "nav-port = 0\n"
      "sipc-port = 9000\n"
      "signin-port = 9443\n"
      "domain = tavrin.test\n"
      "demo = yes\n"
      "no-signin = no\n"
      "sms-daily-limit = 5\n"
      "expires = 600\n"
      "login-timeout = 30\n"
      "verbose = 2\n",
      "t.conf", o);
  ASSERT_FALSE(err) << *err;
  EXPECT_EQ(o.dataDir, "/var/lib/tavrin-server");
  EXPECT_EQ(o.listenAddress, "0.0.0.0");
  EXPECT_EQ(o.navPort, 0);
  EXPECT_EQ(o.sipcPort, 9000);
  EXPECT_EQ(o.signinPort, 9443);
  EXPECT_EQ(o.domain, "tavrin.test");
  EXPECT_TRUE(o.demo);
  EXPECT_FALSE(o.noSignin);
  EXPECT_EQ(o.smsDailyLimit, 5);
  EXPECT_EQ(o.expires, 600);
  EXPECT_EQ(o.loginTimeout, 30);
  EXPECT_EQ(o.verbosity, 2);
}

TEST(ServerConfig, AWrongLineIsNamedByFileAndNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"demo = yes\nsipc-port = 70000\n", "t.conf:2: --sipc-port needs a port"},
      {"\n\nport 8080\n", "t.conf:3: wants NAME = VALUE"},
      {"= 3\n", "t.conf:1: wants NAME = VALUE"},
      {"--demo = yes\n", "t.conf:1: wants NAME = VALUE"},
      {"colour = blue\n", "t.conf:1: unknown option --colour"},
      {"domain =\n", "t.conf:1: domain wants a value"},
      {"demo = maybe\n", "t.conf:1: demo wants yes or no"},
      {"verbose = 12\n", "t.conf:1: verbose wants a level 0..9"},
      {"config = /etc/other.conf\n", "t.conf:1: config cannot be set here"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Options o;
    const auto err = parseConfig(c.text, "t.conf", o);
    ASSERT_TRUE(err);
    EXPECT_EQ(*err, c.error);
  }
  Options o;
  const std::string with_nul("data = a\0b\n", 11);
  EXPECT_EQ(parseConfig(with_nul, "t.conf", o).value_or(""), "t.conf:1: not text");
}

TEST(ServerConfig, CommandLineFlagsOverrideTheFileWhereverConfigStands) {
  TempDir dir;
  const std::string file = dir.file("s.conf");
  std::ofstream(file) << "sipc-port = 9000\ndomain = tavrin.test\ndemo = yes\n";
  Options o;
  ASSERT_FALSE(parse({"--sipc-port", "0", "--config", file}, o));
  EXPECT_EQ(o.sipcPort, 0);
  EXPECT_EQ(o.domain, "tavrin.test");
  EXPECT_TRUE(o.demo);

  Options missing;
  EXPECT_EQ(parse({"--config", dir.file("none.conf")}, missing).value_or(""),
            "cannot read " + dir.file("none.conf"));
  EXPECT_EQ(parse({"--config"}, missing).value_or(""), "--config needs a file");
}

// The TLS settings: from the file like the rest, and the combinations that
// would leave no SIP-C port or half a certificate refused before anything starts.
TEST(ServerConfig, TlsSettingsAndTheCombinationsRefused) {
  TempDir dir;
  const std::string file = dir.file("s.conf");
  std::ofstream(file) << "sipc-tls-port = 8082\nno-sipc-plain = yes\n"
                         "tls-cert = /etc/tavrin/tls/fullchain.pem\n"
                         "tls-key = /etc/tavrin/tls/privkey.pem\n";
  Options o;
  ASSERT_FALSE(parse({"--config", file}, o));
  EXPECT_EQ(o.sipcTlsPort, 8082);
  EXPECT_TRUE(o.noSipcPlain);
  EXPECT_EQ(o.tlsCertFile, "/etc/tavrin/tls/fullchain.pem");
  EXPECT_EQ(o.tlsKeyFile, "/etc/tavrin/tls/privkey.pem");
  EXPECT_EQ(Options{}.sipcTlsPort, -1);  // no TLS port unless asked for

  const struct {
    std::vector<std::string> args;
    const char* error;
  } refused[] = {
      {{"--no-sipc-plain"}, "--no-sipc-plain needs --sipc-tls-port: no SIP-C port would be left"},
      {{"--sipc-tls-port", "0", "--tls-cert", "c.pem"}, "--tls-cert and --tls-key go together"},
      {{"--tls-key", "k.pem"}, "--tls-cert and --tls-key go together"},
      {{"--sipc-tls-port", "70000"}, "--sipc-tls-port needs a port"},
  };
  for (const auto& c : refused) {
    Options bad;
    EXPECT_EQ(parse(c.args, bad).value_or(""), c.error);
  }
}
