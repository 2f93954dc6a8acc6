// Scheduled SMS against the real server: made in the editor with the
// picker, stored by the server, listed (with its details) after a refresh
// of the list screen, and delivered to the outbox when the server's clock
// reaches its time; the editor's refusals; the picker's fields.
#include "screens/sms/CBriskScheduleSms.h"
#include "screens/sms/CBriskSetSchSms.h"
#include "screens/sms/CDateTimePicker.h"
#include "sms_fixture.h"

using tavrin::screens::CBriskScheduleSms;
using tavrin::screens::CBriskSetSchSms;
using tavrin::screens::CDateTimePicker;
using tavrin::screens::TimeField;

namespace {

class ScheduleSmsTest : public tavrin::test::SmsScreenTest {
 protected:
  void tap_rect(const tavrin::controls::Rect& r, int top = 52) {
    tap(r.centre().x, r.centre().y + top);
  }
  // Picks a contact of the editor by the start of its name.
  void pick(CBriskSetSchSms& s, std::u16string_view name) {
    const auto& contacts = s.lists().contacts();
    for (size_t i = 0; i < contacts.size(); ++i)
      if (contacts[i].name.substr(0, name.size()) == name) {
        tap_window(150, CBriskSetSchSms::kContacts.top + int(i) * 60 + 30);
        return;
      }
    ADD_FAILURE() << "no such contact";
  }
};

TEST_F(ScheduleSmsTest, MadeInTheEditorListedAfterRefreshAndDeliveredAtItsTime) {
  set_server_clock("2030-06-15 10:29:30");
  CBriskScheduleSms list;
  std::u16string refused, answer;
  inside_modal([&] {
    EXPECT_TRUE(list.ids().empty());
    EXPECT_EQ(golden("schedule_list_empty"), "");
    CBriskSetSchSms editor(list.window());
    inside_modal([&] {
      pick(editor, u"Bob");
      pick(editor, u"Carol");
      type(u"生日快乐 happy birthday");
      // No time chosen yet: refused, the text stays.
      inside_modal([&] {
        refused = editor.last_notice();
        box_ok();
      });
      tap_window(60, 695);
      EXPECT_EQ(editor.box().text(), u"生日快乐 happy birthday");
      // The picker starts at the local time, 10:29; one minute up.
      inside_modal([&] {
        EXPECT_EQ(golden("picker"), "");
        tap_rect(CDateTimePicker::field_rect(TimeField::kMinute), 0);
        tap_rect(CDateTimePicker::up_arrow(TimeField::kMinute), 0);
        tap_rect(CDateTimePicker::kOk, 0);
      });
      tap_rect(CBriskSetSchSms::kSetTime);
      EXPECT_EQ(editor.send_time(), "2030-06-15 10:30:00");
      // "全选：" and "全删：" keep a margin inside their 90-pixel buttons.
      settle();
      int labels = 0;
      for (const auto& d : design->take()) {
        if (d.text != u"全选：" && d.text != u"全删：") continue;
        ++labels;
        ASSERT_EQ(d.lines.size(), 1u);
        EXPECT_GE(d.lines[0].ink.left - d.rect.left, 8);
        EXPECT_GE(d.rect.right - d.lines[0].ink.right, 8);
      }
      EXPECT_GE(labels, 2);
      editor.repaint();
      EXPECT_EQ(golden("editor_ready"), "");
      when_box_opens([&] {
        answer = editor.last_notice();
        box_ok();
      });
      tap_window(60, 695);                       // 发送
      EXPECT_TRUE(editor.box().text().empty());  // emptied once the engine has it
      EXPECT_TRUE(pump_until([&] { return !answer.empty() && ws->modal_depth() == 2; }));
      tap_window(420, 695);  // 退出
    });
    editor.run_modal();
    EXPECT_EQ(refused, u"请设置定时时间！");
    EXPECT_EQ(answer, u"设置定时短信成功！");
    ASSERT_EQ(editor.stored().size(), 1u);
    const int id = editor.stored().front();

    // The server holds it, due at the chosen minute.
    EXPECT_EQ(
        query("SELECT send_time FROM schedule_sms WHERE owner=100000001 AND message='生日快乐 "
              "happy birthday'"),
        "2030-06-15 10:30:00");
    EXPECT_EQ(count("SELECT count(*) FROM schedule_receivers"), 2);

    // The list shows it after a refresh; choosing it shows the details.
    tap_rect(CBriskScheduleSms::kRefreshButton);
    ASSERT_EQ(list.ids(), std::vector<int>{id});
    tap_window(50, CBriskScheduleSms::kIds.top + 50);
    const std::vector<std::u16string> details = {u"生日快乐 happy birthday", u"2030-06-15 10:30:00",
                                                 u"接收人：Bob（100000002）",
                                                 u"接收人：Carol（100000003）"};
    EXPECT_EQ(list.details(), details);
    EXPECT_FALSE(list.choose(id + 100));  // an id the engine does not know changes nothing
    EXPECT_EQ(list.details(), details);
    EXPECT_EQ(golden("schedule_list_details"), "");
    tap_window(60, 695);  // 确定
  });
  list.run_modal();

  // Not yet due at 10:29:30; at 10:30 it goes to both receivers.
  const std::string sent =
      "SELECT count(*) FROM outbox WHERE command='ScheduleSMS' AND "
      "body='生日快乐 happy birthday'";
  EXPECT_EQ(count(sent), 0);
  set_server_clock("2030-06-15 10:30:00");
  EXPECT_EQ(count_within(sent, 2), 2);
  EXPECT_EQ(count(sent + " AND target LIKE 'sip:100000002@%'"), 1);
  EXPECT_EQ(count("SELECT count(*) FROM schedule_sms"), 0);
}

TEST_F(ScheduleSmsTest, TheChosenOneIsDeletedOnTheServerAfterAQuestion) {
  set_server_clock("2030-06-15 10:00:00");
  fx_lock_contacts();
  fx_list bob{fx_get_account_by_id(100000002), nullptr};
  const int queued = fx_set_schedule_sms(&bob, "see you", "2030-06-16 08:00:00", nullptr, nullptr);
  fx_unlock_contacts();
  ASSERT_NE(queued, 0);
  ASSERT_TRUE(pump_until([] { return fx_data_get_smlist() != nullptr; }));
  CBriskScheduleSms list;
  std::vector<std::u16string> said;
  inside_modal([&] {
    ASSERT_EQ(list.ids().size(), 1u);
    inside_modal([&] {
      said.push_back(list.last_notice());
      box_ok();
    });
    tap_rect(CBriskScheduleSms::kDeleteKey);  // nothing chosen yet
    tap_window(50, CBriskScheduleSms::kIds.top + 50);
    EXPECT_EQ(list.chosen(), list.ids().front());
    EXPECT_EQ(golden("schedule_list_chosen"), "");
    inside_modal([&] {
      said.push_back(list.last_notice());
      box_yes();
      // The answer's box, once the question's loop has ended.
      when_box_opens(
          [&] {
            said.push_back(list.last_notice());
            box_ok();
          },
          [&] { return list.notices() == 3 && ws->modal_depth() == 2; });
    });
    tap_rect(CBriskScheduleSms::kDeleteKey);
    EXPECT_TRUE(pump_until([&] { return said.size() == 3 && ws->modal_depth() == 1; }));
    EXPECT_TRUE(list.ids().empty());
    EXPECT_TRUE(list.details().empty());
    tap_window(420, 695);
  });
  list.run_modal();
  EXPECT_EQ(said,
            (std::vector<std::u16string>{u"请选择你要删除的定时短信！", u"确定删除这条定时短信吗？",
                                         u"删除定时短信成功！"}));
  EXPECT_EQ(count("SELECT count(*) FROM schedule_sms"), 0);
}

TEST_F(ScheduleSmsTest, TheSetButtonOpensTheEditor) {
  CBriskScheduleSms list;
  std::string opened;
  inside_modal([&] {
    inside_modal([&] {
      opened = ws->class_name(ws->active());
      tap_window(420, 695);
    });
    tap_rect(CBriskScheduleSms::kSetButton);
    tap_window(420, 695);
  });
  list.run_modal();
  EXPECT_EQ(opened, "CBriskSetSchSms");
}

TEST_F(ScheduleSmsTest, NoReceiverOrATimeGoneByIsRefusedAndKeepsTheText) {
  set_local_time(2010, 1, 3, 9, 5);
  CBriskSetSchSms editor;
  std::vector<std::u16string> said;
  inside_modal([&] {
    type(u"see you");
    inside_modal([&] {
      said.push_back(editor.last_notice());
      box_ok();
    });
    tap_window(60, 695);  // nobody chosen
    pick(editor, u"Carol");
    inside_modal([&] { tap_rect(CDateTimePicker::kOk, 0); });
    tap_rect(CBriskSetSchSms::kSetTime);
    EXPECT_EQ(editor.send_time(), "2010-01-03 09:05:00");
    // A minute later the chosen time has gone by.
    set_local_time(2010, 1, 3, 9, 6);
    inside_modal([&] {
      said.push_back(editor.last_notice());
      box_ok();
    });
    tap_window(60, 695);
    EXPECT_EQ(editor.box().text(), u"see you");
    tap_window(420, 695);
  });
  editor.run_modal();
  const std::vector<std::u16string> want = {u"请选择好友！", u"定时时间已过，请重新设置！"};
  EXPECT_EQ(said, want);
  EXPECT_EQ(count("SELECT count(*) FROM schedule_sms"), 0);
}

TEST_F(ScheduleSmsTest, ThePickersArrowsCarryAsAClockDoes) {
  set_local_time(2010, 12, 31, 23, 59);
  CDateTimePicker picker(0);
  inside_modal([&] {
    tap_rect(CDateTimePicker::field_rect(TimeField::kMinute), 0);
    EXPECT_EQ(picker.selected(), TimeField::kMinute);
    tap_rect(CDateTimePicker::up_arrow(TimeField::kMinute), 0);
    EXPECT_EQ(picker.value().send_time(), "2011-01-01 00:00:00");  // never 23:00, gone by
    tap_rect(CDateTimePicker::field_rect(TimeField::kHour), 0);
    tap_rect(CDateTimePicker::down_arrow(TimeField::kHour), 0);
    EXPECT_EQ(picker.value().send_time(), "2010-12-31 23:00:00");
    tap_rect(CDateTimePicker::field_rect(TimeField::kDay), 0);
    tap_rect(CDateTimePicker::up_arrow(TimeField::kDay), 0);
    EXPECT_EQ(picker.value().send_time(), "2011-01-01 23:00:00");
    tap_rect(CDateTimePicker::kCancel, 0);
  });
  EXPECT_FALSE(picker.run().has_value());
}

}  // namespace
