// Group SMS against the real server: receivers chosen by tapping, one
// result line per receiver whatever happened to the others, 全选 after
// hand-picked receivers, the contact lists of a group, of every contact and
// of an empty group, and the question before a large send.
#include "screens/sms/CBriskGroupMsg.h"
#include "sms_fixture.h"

using tavrin::screens::CBriskGroupMsg;

namespace {

class GroupSmsTest : public tavrin::test::SmsScreenTest {
 protected:
  // The index of a contact in the screen's list, by the start of its name.
  static size_t index_of(CBriskGroupMsg& s, std::u16string_view name) {
    const auto& contacts = s.lists().contacts();
    for (size_t i = 0; i < contacts.size(); ++i)
      if (contacts[i].name.substr(0, name.size()) == name) return i;
    ADD_FAILURE() << "no such contact";
    return 0;
  }
  // Taps a contact's row (the first rows show without scrolling).
  void tap_contact(CBriskGroupMsg& s, std::u16string_view name) {
    const size_t i = index_of(s, name);
    tap_window(150, CBriskGroupMsg::kContacts.top + int(i) * 60 + 30);
  }
  std::vector<std::u16string> lines(CBriskGroupMsg& s) {
    std::vector<std::u16string> out;
    for (const auto& r : s.results()) out.push_back(CBriskGroupMsg::line_of(r));
    return out;
  }
  static bool settled(const CBriskGroupMsg& s) {
    for (const auto& r : s.results())
      if (r.outcome == CBriskGroupMsg::Outcome::kWaiting) return false;
    return !s.results().empty();
  }
};

TEST_F(GroupSmsTest, ARefusedReceiverDoesNotStopTheNextOne) {
  // Bob has chosen to refuse SMS: the server answers 486 for him.
  exec("UPDATE accounts SET refuse_sms_days=3 WHERE number=100000002");
  CBriskGroupMsg screen(0, 1);
  inside_modal([&] {
    std::vector<std::u16string> names;
    for (const auto& c : screen.lists().contacts()) names.push_back(c.name);
    EXPECT_EQ(names.size(), 4u);        // Bob, Carol, Echo and Mum's phone
    EXPECT_EQ(names.front(), u"Echo");  // the one online comes first
    tap_contact(screen, u"Carol");
    tap_contact(screen, u"Carol");  // once is enough
    tap_contact(screen, u"Bob");
    tap_contact(screen, u"Echo");
    ASSERT_EQ(screen.lists().receivers().size(), 3u);
    type(u"今晚七点 <见>");
    EXPECT_EQ(golden("group_chosen"), "");
    tap_window(60, 695);  // 发送
    EXPECT_TRUE(pump_until([&] { return settled(screen); }));
    EXPECT_EQ(screen.box().text(), u"今晚七点 <见>");
    EXPECT_EQ(golden("group_results"), "");
    tap_window(420, 695);
  });
  screen.run_modal();
  const std::vector<std::u16string> want = {
      u"我对Carol说:今晚七点 <见>", u"对Bob发送失败:今晚七点 <见>", u"我对Echo说:今晚七点 <见>"};
  EXPECT_EQ(lines(screen), want);
  EXPECT_EQ(count("SELECT count(*) FROM outbox WHERE body='今晚七点 <见>' AND target LIKE "
                  "'sip:100000003@%'"),
            1);
  EXPECT_EQ(count("SELECT count(*) FROM outbox WHERE body='今晚七点 <见>' AND target LIKE "
                  "'sip:100000009@%'"),
            1);
  EXPECT_EQ(count("SELECT count(*) FROM outbox WHERE target LIKE 'sip:100000002@%'"), 0);
}

TEST_F(GroupSmsTest, SelectAllAfterTwoByHandAddsTheOthersOnceAndABigSendAsksFirst) {
  CBriskGroupMsg screen(0, -1);
  std::u16string question;
  inside_modal([&] {
    const auto& contacts = screen.lists().contacts();
    ASSERT_GE(contacts.size(), 6u);
    // Every contact, named with the mood text (the engine's flag 1).
    EXPECT_EQ(contacts[index_of(screen, u"Bob")].name, u"Bob(Working on the train)");
    tap_window(150, CBriskGroupMsg::kContacts.top + 1 * 60 + 30);
    tap_window(150, CBriskGroupMsg::kContacts.top + 0 * 60 + 30);
    tap_window(165, 405);  // 全选
    const auto& chosen = screen.lists().receivers().items();
    ASSERT_EQ(chosen.size(), contacts.size());
    EXPECT_EQ(chosen[0].id, contacts[1].id);
    EXPECT_EQ(chosen[1].id, contacts[0].id);
    for (size_t i = 2; i < chosen.size(); ++i) EXPECT_EQ(chosen[i].id, contacts[i].id);
    EXPECT_EQ(golden("group_all"), "");
    // More than five receivers: the box says how many SMS go out; 否 sends nothing.
    type(std::u16string(71, u'字'));
    ASSERT_EQ(screen.box().text().size(), 71u);
    inside_modal([&] {
      question = screen.last_notice();
      box_no();
    });
    tap_window(60, 695);
    EXPECT_TRUE(screen.results().empty());
    tap_window(315, 405);  // 全删
    EXPECT_TRUE(screen.lists().receivers().empty());
    tap_window(420, 695);
  });
  screen.run_modal();
  const size_t n = screen.lists().contacts().size();
  const std::u16string total = tavrin::screens::confirm_text(n, 2);  // 71 wide characters: 2 parts
  EXPECT_EQ(question, total);
  EXPECT_EQ(count("SELECT count(*) FROM outbox"), 0);
}

TEST_F(GroupSmsTest, AGroupNoContactIsInListsNobody) {
  CBriskGroupMsg screen(0, 77);
  inside_modal([&] {
    EXPECT_TRUE(screen.lists().contacts().empty());
    type(u"hello");
    inside_modal([&] { box_ok(); });
    tap_window(60, 695);  // nobody to send to
    EXPECT_EQ(screen.last_notice(), u"请选择好友！");
    tap_window(420, 695);
  });
  screen.run_modal();
}

}  // namespace
