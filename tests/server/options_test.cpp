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
      {"verbose = 4\n", "t.conf:1: verbose wants a level 0..3"},
      {"verbose = 9\n", "t.conf:1: verbose wants a level 0..3"},
      {"config = /etc/other.conf\n", "t.conf:1: config cannot be set here"},
      {"check-config = yes\n", "t.conf:1: check-config cannot be set here"},
      // Switches for tests are flags only: a production file cannot turn them on.
      {"test-withhold-acks = yes\n",
       "t.conf:1: test-withhold-acks is for tests only: give it as a flag on the command line"},
      {"test-gone = 3\n",
       "t.conf:1: test-gone is for tests only: give it as a flag on the command line"},
      {"test-clock = /tmp/clock\n",
       "t.conf:1: test-clock is for tests only: give it as a flag on the command line"},
      {"memory = yes\n",
       "t.conf:1: memory is for tests only: give it as a flag on the command line"},
      {"metrics-port = 99999\n", "t.conf:1: --metrics-port needs a port"},
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

  // The test switches stay reachable as flags.
  Options flags;
  ASSERT_FALSE(parse({"--test-withhold-acks", "--test-gone", "2", "--config", file}, flags));
  EXPECT_TRUE(flags.withholdChatAcks);
  EXPECT_EQ(flags.testGoneRegistrations, 2);
}

TEST(ServerConfig, TheGatewayPasswordComesFromTheFileOrItsOwnFileNeverTheCommandLine) {
  TempDir dir;
  const std::string conf = dir.file("s.conf");
  const std::string secret = dir.file("pw");
  std::ofstream(conf) << "sms-gateway = http://localhost:13013/cgi-bin/sendsms\n"
                         "sms-gateway-user = tavrin\nsms-gateway-password = from conf\n"
                         "sms-sender = +8610658888\n";
  std::ofstream(secret) << "from file\r\nsecond line\n";
  Options o;
  ASSERT_FALSE(parse({"--config", conf}, o));
  EXPECT_EQ(o.smsGatewayUrl, "http://localhost:13013/cgi-bin/sendsms");
  EXPECT_EQ(o.smsGatewayUser, "tavrin");
  EXPECT_EQ(o.smsGatewayPassword, "from conf");
  EXPECT_EQ(o.smsSender, "8610658888");
  ASSERT_FALSE(parse({"--config", conf, "--sms-gateway-password-file", secret}, o));
  EXPECT_EQ(o.smsGatewayPassword, "from file");

  for (const char* flag : {"--sms-gateway-password", "--sms-callback-key"}) {
    Options refused;
    EXPECT_EQ(parse({flag, "secret"}, refused).value_or(""),
              std::string(flag + 2) + " belongs in the configuration file, or use " + flag +
                  "-file FILE");
    EXPECT_TRUE(refused.smsGatewayPassword.empty());
  }
  Options bad;
  EXPECT_EQ(parse({"--sms-gateway", "https://127.0.0.1/x"}, bad).value_or(""),
            "--sms-gateway needs http://ADDRESS:PORT/PATH");
  EXPECT_EQ(parse({"--sms-gateway-password-file", dir.file("none")}, bad).value_or(""),
            "cannot read " + dir.file("none"));
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
