// The storage operations the screens call: saved accounts, server address,
// chat log; file protection; and a failing file that must not stop the caller.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/SavedAccountStore.h"
#include "storage/ServerAddressStore.h"
#include "storage/StorageGuard.h"
#include "storage/Text16.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {

class StorageOperationsTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path path = dir.file("DB") / "TavrinLog.db";

  bool tableExists(const char16_t* name) {
    CppSQLite3Database db;
    db.open(path);
    return db.tableExists(name);
  }
  std::string fileBytes() {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static mode_t modeOf(const std::filesystem::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
  }
};

// Bytes of a text as the UTF-16le file holds it.
std::string utf16Bytes(std::u16string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

}  // namespace

TEST_F(StorageOperationsTest, SavedAccountsInsertThenUpdateTheirRow) {
  SavedAccountStore accounts(path);
  EXPECT_EQ(accounts.load(), std::nullopt);
  EXPECT_FALSE(tableExists(u"TavrinPsd"));  // loading creates nothing

  accounts.save(u"123456789", u"first");
  accounts.save(u"13800138000", u"mobile");
  accounts.save(u"123456789", u"second");
  const std::vector<SavedAccount> expected = {{u"123456789", u"second"},
                                              {u"13800138000", u"mobile"}};
  EXPECT_EQ(accounts.load(), expected);
}

// A keeper that holds passwords in memory, and can be told to refuse.
struct MemoryKeeper : PasswordKeeper {
  std::map<std::u16string, std::u16string> kept;
  bool refuse = false;
  bool store(std::u16string_view account, std::u16string_view password) override {
    if (refuse) return false;
    kept[std::u16string(account)] = password;
    return true;
  }
  std::optional<std::u16string> lookup(std::u16string_view account) override {
    auto it = kept.find(std::u16string(account));
    return it == kept.end() ? std::nullopt : std::optional(it->second);
  }
};

// With a keeper the table keeps its two columns and holds the marker, never
// the password; without one (or when it refuses) the password goes in the
// table as before; a marked row whose keeper is gone reads an empty password.
TEST_F(StorageOperationsTest, SavedPasswordsGoToTheKeeperAndTheTableHoldsAMarker) {
  const auto raw = [&] {
    CppSQLite3Database db;
    db.open(path);
    std::vector<std::pair<std::u16string, std::u16string>> rows;
    CppSQLite3Query q = db.query(u"select * from TavrinPsd;");
    EXPECT_EQ(q.fieldCount(), 2);
    for (; !q.eof(); q.nextRow()) rows.emplace_back(q.fieldValue(0), q.fieldValue(1));
    q.finalize();
    db.close();
    return rows;
  };
  const std::u16string marker(SavedAccountStore::kKeptMarker);
  MemoryKeeper keeper;
  SavedAccountStore kept(path, &keeper), plain(path);

  plain.save(u"100000001", u"before");  // a row from a run without a keeper
  kept.save(u"100000002", u"bob123");
  kept.save(u"100000001", u"alice123");  // moved to the keeper at its next save
  keeper.refuse = true;
  kept.save(u"100000003", u"carol123");  // the keeper refused: as before
  using Rows = std::vector<std::pair<std::u16string, std::u16string>>;
  EXPECT_EQ(raw(),
            (Rows{{u"100000001", marker}, {u"100000002", marker}, {u"100000003", u"carol123"}}));
  EXPECT_EQ(keeper.kept.size(), 2u);
  EXPECT_EQ(kept.load(), (std::vector<SavedAccount>{{u"100000001", u"alice123"},
                                                    {u"100000002", u"bob123"},
                                                    {u"100000003", u"carol123"}}));
  // No keeper now (no secret service this run): marked rows ask again.
  EXPECT_EQ(plain.load(),
            (std::vector<SavedAccount>{
                {u"100000001", u""}, {u"100000002", u""}, {u"100000003", u"carol123"}}));
  keeper.kept.erase(u"100000002");  // the keyring lost it
  EXPECT_EQ((*kept.load())[1].password, u"");
}

TEST(SavedAccountStorePrefill, ShowsTheLastAccountAndTheLastNineDigitPassword) {
  using Rows = std::vector<SavedAccount>;
  const struct {
    Rows rows;
    SavedAccount shown;
  } cases[] = {
      {{}, {u"", u""}},
      {{{u"123456789", u"a"}, {u"987654321", u"b"}}, {u"987654321", u"b"}},
      {{{u"123456789", u"a"}, {u"12345678", u"c"}}, {u"12345678", u"a"}},
      {{{u"13800138000", u"m"}}, {u"13800138000", u""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SavedAccountStore::prefill(c.rows), c.shown);
}

TEST_F(StorageOperationsTest, ServerAddressKeepsTheLastAppendedRow) {
  ServerAddressStore servers(path);
  EXPECT_EQ(servers.loadLast(), std::nullopt);
  SavedAccountStore(path).save(u"123456789", u"pw");  // accounts without an address table
  EXPECT_EQ(servers.loadLast(), std::nullopt);

  servers.append(u"127.0.0.1:8080");
  servers.append(u"127.0.0.1:9090");
  EXPECT_EQ(servers.loadLast(), u"127.0.0.1:9090");
  CppSQLite3Database db;
  db.open(path);
  EXPECT_EQ(db.scalar(u"select count(*) from TavrinServeAddr where ServeName = '深圳';"), 2);
}

TEST_F(StorageOperationsTest, ChatLogTableIsCreatedOnTheFirstLine) {
  ChatLogStore log(path, 123456789);
  EXPECT_EQ(log.table(), u"tab123456789");
  EXPECT_TRUE(log.history(5).empty());
  log.deleteLine(5, u"x");
  log.deleteContact(5);
  log.deleteAll();
  EXPECT_FALSE(log.append(5, u"", u"10:00:00"));  // an empty line logs nothing
  EXPECT_FALSE(tableExists(u"tab123456789"));

  EXPECT_TRUE(log.append(5, u"机主：hello", u"10:00:01"));
  EXPECT_TRUE(log.append(6, u"Bob：hi", u"10:00:02"));
  EXPECT_TRUE(log.append(5, u"Bob\t：\nfine\n", u"10:00:03"));
  const std::vector<ChatLogLine> expected = {{u"机主：hello", u"10:00:01"},
                                             {u"Bob：fine", u"10:00:03"}};
  EXPECT_EQ(log.history(5), expected);

  CppSQLite3Database db;
  db.open(path);
  CppSQLite3Query row = db.query(u"select * from tab123456789;");
  EXPECT_EQ(std::u16string(row.fieldValue(0)), u"Log5");
}

TEST_F(StorageOperationsTest, AnyTextReadsBackUnchangedAndDeletesExactly) {
  ChatLogStore log(path, 42);
  const std::u16string texts[] = {u"it's",
                                  u"'",
                                  u"''",
                                  u"'); delete from tab42; --",
                                  u"发送失败：不要'引号'",
                                  u"emoji \U0001F600 and \u00e9",
                                  u"%s %d %ld",
                                  u"carriage\rreturn",
                                  std::u16string(2000, u'x'),
                                  u"\uFEFFstarts with a byte order mark",
                                  u"\uFFFEand a swapped one"};
  for (const auto& text : texts) log.append(7, text, u"23:59:59");
  auto lines = log.history(7);
  ASSERT_EQ(lines.size(), std::size(texts));
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].line, texts[i]) << i;

  for (const auto& text : texts) log.deleteLine(7, text);
  EXPECT_TRUE(log.history(7).empty());
}

TEST_F(StorageOperationsTest, ChatLogDeletesByLineContactAndUser) {
  ChatLogStore mine(path, 1);
  ChatLogStore other(path, 2);
  mine.append(5, u"same", u"10:00:00");
  mine.append(5, u"keep", u"10:00:01");
  mine.append(5, u"same", u"11:00:00");
  mine.append(6, u"same", u"10:00:02");
  other.append(5, u"theirs", u"09:00:00");

  mine.deleteLine(5, u"same");  // both copies of the contact, whatever their time
  EXPECT_EQ(mine.history(5), (std::vector<ChatLogLine>{{u"keep", u"10:00:01"}}));
  EXPECT_EQ(mine.history(6).size(), 1u);

  mine.deleteContact(5);
  EXPECT_TRUE(mine.history(5).empty());
  EXPECT_EQ(mine.history(6).size(), 1u);

  mine.deleteAll();
  EXPECT_TRUE(mine.history(6).empty());
  EXPECT_EQ(other.history(5).size(), 1u);  // another account's log stays
}

TEST_F(StorageOperationsTest, HistoryFolderAndFileAreTheOwnersOnly) {
  const mode_t old = ::umask(0);
  SavedAccountStore(path).save(u"123456789", u"secret");
  ::umask(old);
  EXPECT_EQ(modeOf(path.parent_path()), 0700u);
  EXPECT_EQ(modeOf(path), 0600u);

  // A file that others could read (made by another tool) is narrowed on the next operation.
  ::chmod(path.c_str(), 0644);
  (void)ChatLogStore(path, 1).history(5);
  EXPECT_EQ(modeOf(path), 0600u);
}

TEST_F(StorageOperationsTest, ReplacedPasswordsAndDeletedLinesLeaveNoTraceInTheFile) {
  SavedAccountStore accounts(path);
  accounts.save(u"123456789", u"OldSecret-1");
  accounts.save(u"123456789", u"NewSecret-2");
  ChatLogStore log(path, 1);
  log.append(5, u"private words", u"10:00:00");
  log.deleteContact(5);
  const std::string bytes = fileBytes();
  EXPECT_EQ(bytes.find(utf16Bytes(u"OldSecret-1")), std::string::npos);
  EXPECT_EQ(bytes.find(utf16Bytes(u"private words")), std::string::npos);
  EXPECT_NE(bytes.find(utf16Bytes(u"NewSecret-2")), std::string::npos);
}

TEST_F(StorageOperationsTest, AFailedLogLetsTheCallerGoOn) {
  // A chat window sends, then logs; the send stands whatever the log does.
  int sent = 0;
  auto sendAndLog = [&sent](const ChatLogStore& log) {
    ++sent;
    return tryStorage([&] { log.append(5, u"机主：hello", u"10:00:00"); });
  };

  auto missing = sendAndLog(ChatLogStore(dir.file("gone") / "DB" / "TavrinLog.db", 1));
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(missing->errorCode(), 14);

  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << "this is not a database, just some text that fills the header page";
  auto garbage = sendAndLog(ChatLogStore(path, 1));
  ASSERT_TRUE(garbage.has_value());
  EXPECT_EQ(utf8FromUtf16(garbage->errorMessage()), "UNKNOWN_ERROR[26]: file is not a database");

  std::filesystem::remove(path);
  EXPECT_FALSE(sendAndLog(ChatLogStore(path, 1)).has_value());
  EXPECT_EQ(sent, 3);
  auto other = tryStorage([] { throw std::runtime_error("disk gone"); });
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(utf8FromUtf16(other->errorMessage()), "CPPSQLITE_ERROR[1000]: disk gone");
  EXPECT_EQ(ChatLogStore(path, 1).history(5).size(), 1u);
}
