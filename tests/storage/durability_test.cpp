// A chat line that append reported as logged survives the process being
// killed at any moment after it: the next open finds every such line, in
// order, and an intact file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "storage/ChatLogStore.h"
#include "storage/CppSQLite3Database.h"
#include "storage/Text16.h"
#include "temp_dir.h"

using namespace tavrin::storage;

namespace {
std::u16string lineText(int i) {
  return u"机主：line " + decimal16(i);
}
}  // namespace

TEST(StorageDurability, LinesLoggedBeforeAKillAreAllThereAtTheNextOpen) {
  TempDir dir;
  const auto path = dir.file("DB") / "TavrinLog.db";
  int acks[2];
  ASSERT_EQ(::pipe(acks), 0);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(acks[0]);
    ChatLogStore log(path, 1);
    for (int i = 0;; ++i) {
      log.append(5, lineText(i), u"10:00:00");
      const char ack = 1;  // tells the parent this line was reported logged
      if (::write(acks[1], &ack, 1) != 1) ::_exit(2);
    }
  }
  ::close(acks[1]);
  // Let it log a while, then kill it wherever it is, mid-statement or not.
  int logged = 0;
  char ack;
  while (logged < 150 && ::read(acks[0], &ack, 1) == 1) ++logged;
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  while (::read(acks[0], &ack, 1) == 1) ++logged;
  ::close(acks[0]);

  ChatLogStore log(path, 1);
  const auto lines = log.history(5);
  ASSERT_GE(lines.size(), static_cast<size_t>(logged));
  ASSERT_LE(lines.size(), static_cast<size_t>(logged) + 1);  // the one in flight may have landed
  for (size_t i = 0; i < lines.size(); ++i) ASSERT_EQ(lines[i].line, lineText(static_cast<int>(i)));

  CppSQLite3Database db;
  db.open(path);
  EXPECT_EQ(std::u16string(db.query(u"pragma integrity_check;").fieldValue(0)), u"ok");
  db.close();
  EXPECT_TRUE(log.append(5, u"after", u"10:00:01"));
  EXPECT_EQ(log.history(5).back().line, u"after");
}
