// Saved passwords against a real secret service: a private session bus
// (dbus-daemon) and a keyring daemon unlocked with a test password, in a
// scratch home. The login screen's store keeps the password in the keyring
// and only the marker in TavrinPsd, and reads it back from there. Skipped
// where dbus-daemon or gnome-keyring-daemon is not installed.
#include "platform/secret_service.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "screens/login/SecretKeeper.h"
#include "storage/CppSQLite3Database.h"
#include "storage/SavedAccountStore.h"
#include "temp_dir.h"

namespace {

std::string on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const auto candidate = std::filesystem::path(folder) / program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

TEST(SecretService, PasswordsGoToARealKeyringAndTheTableHoldsTheMarker) {
  const std::string bus_daemon = on_path("dbus-daemon"),
                    keyring_daemon = on_path("gnome-keyring-daemon");
  if (bus_daemon.empty()) GTEST_SKIP() << "dbus-daemon is not installed";
  if (keyring_daemon.empty()) GTEST_SKIP() << "gnome-keyring-daemon is not installed";
  using namespace std::chrono_literals;
  namespace fs = std::filesystem;

  // A home of its own: the keyring's files and sockets go there.
  TempDir home("tavrin-keyring");
  const fs::path run = home.path / "run";
  fs::create_directories(run);
  ::chmod(run.c_str(), 0700);
  for (const auto& [name, value] : {std::pair{"HOME", home.path},
                                    {"XDG_RUNTIME_DIR", run},
                                    {"XDG_DATA_HOME", home.path / "data"},
                                    {"XDG_CONFIG_HOME", home.path / "config"},
                                    {"XDG_CACHE_HOME", home.path / "cache"}})
    ::setenv(name, value.c_str(), 1);

  tavrin::test::ChildProcess bus(bus_daemon, {"--session", "--nofork", "--print-address=1"});
  ASSERT_TRUE(bus.started());
  const auto address = bus.read_line(10s);
  ASSERT_TRUE(address && !address->empty()) << bus.transcript();
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);

  tavrin::test::ChildProcess keyring(
      keyring_daemon, {"--foreground", "--unlock", "--components=secrets"}, {}, true);
  ASSERT_TRUE(keyring.started());
  keyring.write_line("tavrin-test-keyring");
  keyring.close_input();
  bool up = false;
  for (int i = 0; i < 100 && !(up = tavrin::platform::SecretService::available()); ++i)
    std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(up) << keyring.transcript();

  const fs::path db_path = home.path / "DB" / "TavrinLog.db";
  tavrin::storage::PasswordKeeper* keeper = tavrin::screens::saved_password_keeper();
  ASSERT_NE(keeper, nullptr);
  const tavrin::storage::SavedAccountStore accounts(db_path, keeper);
  accounts.save(u"100000001", u"alice123");

  // The table: its two columns, the marker in place of the password.
  tavrin::storage::CppSQLite3Database db;
  db.open(db_path);
  {
    tavrin::storage::CppSQLite3Query q = db.query(u"select * from TavrinPsd;");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.fieldCount(), 2);
    EXPECT_EQ(std::u16string(q.fieldValue(0)), u"100000001");
    EXPECT_EQ(std::u16string(q.fieldValue(1)), tavrin::storage::SavedAccountStore::kKeptMarker);
    q.finalize();
  }
  db.close();
  // The keyring holds it, and the store reads it back from there.
  EXPECT_EQ(tavrin::platform::SecretService::lookup(u"100000001"), u"alice123");
  const auto rows = accounts.load();
  ASSERT_TRUE(rows && rows->size() == 1u);
  EXPECT_EQ((*rows)[0].password, u"alice123");
  EXPECT_TRUE(tavrin::platform::SecretService::erase(u"100000001"));
  EXPECT_EQ(tavrin::platform::SecretService::lookup(u"100000001"), std::nullopt);
}

}  // namespace
