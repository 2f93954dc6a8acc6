// The main window against the real tavrin-server: the tree after login,
// presence from a second user (tavrin-cli), a new line while no chat is
// open, search, delete and blacklist reaching the server, the menus'
// answers and the command results.
#include <gtest/gtest.h>

#include <filesystem>

#include "bridge/EngineBridge.h"
#include "cli_peer.h"
#include "controls/CInputBox.h"
#include "controls/PressEffect.h"
#include "libtavrin.h"
#include "main_window_fixture.h"
#include "mainwnd/ContactTreeModel.h"
#include "mainwnd/header_texts.h"
#include "shell/theme_presets.h"
#include "platform/text_codec.h"
#include "screens/chat/CBriskLibTavrinMsg.h"
#include "screens/router/ScreenRouter.h"
#include "shell/app_paths.h"
#include "shell/client_settings.h"
#include "storage/ChatLogStore.h"

namespace tavrin::test {
namespace {

using namespace platform;
using Frame = std::vector<uint16_t>;

const std::string kGolden = TAVRIN_MAINWND_GOLDEN_DIR;
const std::string kShots = TAVRIN_MAINWND_SHOT_DIR;

constexpr char16_t kRecent[] = u"最近联系人";
constexpr char16_t kFriends[] = u"我的好友";
constexpr char16_t kColleagues[] = u"同事";
constexpr char16_t kSearch[] = u"统计查找";

// Soft keys, screen coordinates.
constexpr Point kSearchKey{48, 775}, kSmsKey{240, 775}, kOperationsKey{336, 775},
    kMineKey{144, 775};

std::vector<std::u16string> captions(const mainwnd::CBriskLibTavrin& w) {
  std::vector<std::u16string> out;
  for (const auto& s : const_cast<mainwnd::CBriskLibTavrin&>(w).tree().sections())
    out.push_back(s.caption);
  return out;
}

using MainWindow = MainWindowTest;

TEST_F(MainWindow, TreeAfterLoginHasSectionsCountsAndStatuses) {
  open_main();
  EXPECT_EQ(main->name_label(), u"Alice（在线）");
  EXPECT_EQ(main->number_label(), u"号码：100000001");
  EXPECT_EQ(captions(*main),
            (std::vector<std::u16string>{kRecent, kFriends, kColleagues, u"未分组", kSearch}));
  // Friends: Bob, Carol, Echo (online) and the phone Mum; colleagues Dave,
  // Erin, Frank and the phone Taxi. The blocked Mallory is nowhere.
  const auto* friends = section(kFriends);
  ASSERT_NE(friends, nullptr);
  EXPECT_EQ(friends->online, 1);
  EXPECT_EQ(friends->count_text,
            u"人在线；共 " + mainwnd::decimal(long(friends->items.size())) + u" 人。");
  ASSERT_NE(item(kFriends, kEcho), nullptr);
  EXPECT_EQ(item(kFriends, kEcho)->status, 66);
  ASSERT_NE(item(kFriends, kBob), nullptr);
  EXPECT_EQ(item(kFriends, kBob)->status, 68);
  EXPECT_EQ(item(kFriends, kBob)->name, u"Bob");
  EXPECT_NE(item(kColleagues, kDave), nullptr);
  EXPECT_EQ(section(kColleagues)->online, 0);
  EXPECT_TRUE(section(kRecent)->items.empty());
  EXPECT_TRUE(section(kSearch)->items.empty());
  for (const auto& s : main->tree().sections())
    for (const auto& i : s.items) EXPECT_NE(long(i.contact_id), 100000007L);
  EXPECT_EQ(golden(kGolden, kShots, "tree_after_login"), "");
}

TEST_F(MainWindow, SecondUserComingOnlineAndLeavingChangesItemAndCount) {
  open_main();
  const Frame before = display->frame();
  {
    CliPeer bob(sipc_address(), "100000002", "bob123");
    ASSERT_TRUE(bob.signed_in());
    ASSERT_TRUE(pump_until([&] { return item(kFriends, kBob)->status == 66; }));
    EXPECT_EQ(section(kFriends)->online, 2);
    settle();
    // Only what changed was drawn, and it is what a whole frame shows.
    const Frame partial = display->frame();
    EXPECT_NE(partial, before);
    main->repaint_now();
    EXPECT_EQ(display->frame(), partial);
    EXPECT_EQ(golden(kGolden, kShots, "bob_online"), "");
    bob.command("logout");
    ASSERT_TRUE(pump_until([&] { return item(kFriends, kBob)->status != 66; }));
  }
  EXPECT_EQ(item(kFriends, kBob)->status, 68);
  EXPECT_EQ(section(kFriends)->online, 1);
  settle();
  EXPECT_EQ(display->frame(), before);
}

TEST_F(MainWindow, LineWhileNoChatIsOpenMarksRecentNoticesAndSounds) {
  open_main();
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  bob.command("send 100000001 hello Alice");
  ASSERT_TRUE(pump_until([&] { return item(kRecent, kBob) != nullptr; }));
  EXPECT_TRUE(item(kRecent, kBob)->new_message);
  EXPECT_EQ(section(kRecent)->items.size(), 1u);
  EXPECT_EQ(main->notice(), u"来自Bob的新消息");
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_NE(sounds[0].find("newmessage.wav"), std::string::npos);
  EXPECT_EQ(main->conversations().front().contact_id, kBob);
  ws->post(main->window(), msg::kTimer, mainwnd::Notifier::kVibrateTimer);  // the vibration ends
  EXPECT_EQ(golden(kGolden, kShots, "new_message"), "");
  // The line is in the chat log already, out of the engine's queue: no
  // exit before the chat is opened loses it.
  EXPECT_EQ(fx_get_msg(kBob), nullptr);
  const auto logged =
      storage::ChatLogStore(data.path / "DB" / "TavrinLog.db", std::int32_t(kAlice)).history(kBob);
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_EQ(logged[0].line, u"Bob：hello Alice");
  // Reading it clears the mark; a touch puts the header back.
  main->mark_read(kBob);
  EXPECT_FALSE(item(kRecent, kBob)->new_message);
  tap(240, 120);
  EXPECT_TRUE(main->notice().empty());
}

// 查看 on the notice of another contact's line while a chat is open (it
// posts the main window's own tap on that contact) shows that contact's
// chat, with the line, in the open chat window; the line is read there.
TEST_F(MainWindow, ViewingAnotherContactsLineWhileAChatIsOpenOpensThatChat) {
  screens::chat_factory() = [](long id, platform::WindowId owner, screens::MainWindowLink& link,
                               bool sms) -> std::unique_ptr<screens::ChatWindow> {
    return std::make_unique<screens::CBriskLibTavrinMsg>(id, owner, link, sms);
  };
  open_main();
  CliPeer carol(sipc_address(), "100000003", "carol123");
  ASSERT_TRUE(carol.signed_in());
  // Bob's chat first (the tap on his row, queued before the test's own turn
  // inside the chat's loop).
  ws->post(main->window(), msg::kItemTapped, 0, kBob);
  inside_modal([&] {
    auto* chat = static_cast<screens::CBriskLibTavrinMsg*>(main->chat());
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(chat->contact_id(), kBob);
    carol.command("send 100000001 are you there");
    ASSERT_TRUE(pump_until([&] { return item(kRecent, kCarol) && item(kRecent, kCarol)->new_message; }));
    ws->post(main->window(), msg::kItemTapped, 0, kCarol);
    settle();
    EXPECT_EQ(chat->contact_id(), kCarol);
    ASSERT_FALSE(chat->lines().empty());
    EXPECT_EQ(chat->lines()[0].text, u"Carol：are you there");
    EXPECT_FALSE(item(kRecent, kCarol)->new_message);
    chat->close();
  });
  settle();
  screens::chat_factory() = nullptr;
}

// Whether two frames agree on the display area r.
bool same_area(const Frame& a, const Frame& b, controls::Rect r) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (a[size_t(y * Display::kWidth + x)] != b[size_t(y * Display::kWidth + x)]) return false;
  return true;
}

// Long names stay in their places: the header's name and notice right of
// the avatar and inside the screen, a contact's name before its
// new-message mark, each cut with "…".
TEST_F(MainWindow, LongNamesAreCutBeforeTheAvatarTheEdgeAndTheMark) {
  open_main();
  const Frame plain = display->frame();
  const std::string nickname = "Alexandra Konstantinopoulou-Vandenberghe",
                    local = "Bartholomew Montgomery-Smith";
  fx_set_user_nickname(nickname.c_str(), bridge::post_callback, bridge::user_data(main->window()));
  ASSERT_TRUE(pump_until([&] { return main->name_label().starts_with(utf8_to_utf16(nickname)); }));
  ASSERT_EQ(fs_set_buddyinfo(kBob, local.c_str()), 1);
  tap(80, 720);  // the bottom bar's rebuild button reads the new name
  ASSERT_EQ(item(kFriends, kBob)->name, utf8_to_utf16(local));
  CliPeer bob(sipc_address(), "100000002", "bob123");
  ASSERT_TRUE(bob.signed_in());
  bob.command("send 100000001 hello Alice");
  ASSERT_TRUE(pump_until([&] { return item(kRecent, kBob) != nullptr; }));
  settle();
  EXPECT_EQ(main->notice(), u"来自" + utf8_to_utf16(local) + u"的新消息");
  ws->post(main->window(), msg::kTimer, mainwnd::Notifier::kVibrateTimer);  // the vibration ends
  settle();
  const Frame long_names = display->frame();
  EXPECT_EQ(golden(kGolden, kShots, "long_names"), "");
  // Nothing written left of the header's text column, nor by the notice
  // at the right edge.
  EXPECT_TRUE(same_area(plain, long_names, {0, 52, 125, 165}));
  EXPECT_TRUE(same_area(plain, long_names, {476, 97, 480, 165}));
  // The recent row with the mark looks, from just before the mark on, as
  // it does with a short name.
  const Point row = row_of(kRecent, kBob);
  ASSERT_GT(row.y, 0);
  ASSERT_EQ(fs_set_buddyinfo(kBob, "Bob"), 1);
  tap(80, 720);
  ASSERT_EQ(item(kRecent, kBob)->name, u"Bob");
  const controls::Rect mark_zone{controls::CScrollTree::kNewMarkX - 6, row.y - 35, 480, row.y + 35};
  EXPECT_TRUE(same_area(long_names, display->frame(), mark_zone));
}

TEST_F(MainWindow, SearchFillsStatisticsSection) {
  open_main();
  struct Case {
    int index;
    std::u16string typed;  // empty: no input box
    std::vector<long> expected;
  };
  const Case cases[] = {
      {0, u"Car", {kCarol}},       // by name
      {1, u"100000004", {kDave}},  // by number
      {2, {}, {kEcho}},            // online
      {0, u"Nobody", {}},          // nothing found: a box says so
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    tap(kSearchKey.x, kSearchKey.y);
    ASSERT_TRUE(main->menu().shown());
    const Point p = menu_item(c.index);
    down(p.x, p.y);
    up(p.x, p.y);
    if (!c.typed.empty())
      inside_modal([&] {
        tap(100, 245);  // into the field
        type(c.typed);
        tap(controls::CInputBox::kOk.centre().x, controls::CInputBox::kOk.centre().y);
      });
    settle();
    std::vector<long> found;
    for (const auto& i : section(kSearch)->items) found.push_back(long(i.contact_id));
    EXPECT_EQ(found, c.expected);
    EXPECT_EQ(saw_box(u"没有找到符合条件的好友！"), c.expected.empty());
  }
  // Offline contacts are many; the results are scrolled into view.
  tap(kSearchKey.x, kSearchKey.y);
  const Point p = menu_item(3);
  tap(p.x, p.y);
  EXPECT_GE(section(kSearch)->items.size(), 5u);
  EXPECT_EQ(golden(kGolden, kShots, "search_offline"), "");
}

TEST_F(MainWindow, DeleteAndBlacklistAskFirstAndReachTheServer) {
  open_main();
  const std::string buddy = "SELECT COUNT(*) FROM buddies WHERE owner=? AND buddy=?";
  const std::string blocked =
      "SELECT COUNT(*) FROM blacklist WHERE owner=? AND uri LIKE '%' || ? || '%'";
  // Nothing chosen: the box says so.
  tap(kOperationsKey.x, kOperationsKey.y);
  Point p = menu_item(1);
  tap(p.x, p.y);
  EXPECT_TRUE(saw_box(u"选择你要删除的好友！"));

  struct Case {
    const char16_t* section;
    long id;
    int item;  // 1 delete, 3 blacklist
    int answer;
    const std::string* query;
    long long after;
  };
  const Case cases[] = {
      {kFriends, kCarol, 1, 0, &buddy, 1},      // cancelled: nothing sent
      {kFriends, kCarol, 1, 1, &buddy, 0},      // deleted
      {kColleagues, kDave, 3, 1, &blocked, 1},  // blacklisted
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const Point row = row_of(c.section, c.id);
    ASSERT_GT(row.y, 0);
    tap(row.x, row.y);  // chooses it (no chat window in this build of the test)
    answer = c.answer;
    tap(kOperationsKey.x, kOperationsKey.y);
    p = menu_item(c.item);
    const int asked = boxes_answered;
    tap(p.x, p.y);
    EXPECT_EQ(boxes_answered, asked + 1);
    if (c.after == 1 && c.item == 1) {
      pump_until([] { return false; }, 400);  // time for a request that must not come
      EXPECT_EQ(server_count(*c.query, kAlice, c.id), 1);
      continue;
    }
    SCOPED_TRACE(utf16_to_utf8(main->boxes().back().text));
    ASSERT_TRUE(pump_until([&] { return server_count(*c.query, kAlice, c.id) == c.after; }));
  }
  EXPECT_TRUE(
      saw_box(u"是否确定要删除好友 Carol？删除后对方仍能发送消息给你，"
              u"如果不希望收到对方的消息请将其加入黑名单。"));
  EXPECT_TRUE(saw_box(u"是否确定要将 Dave 加入黑名单？对方将无法发送消息给你。"));
  // The deleted contact leaves the tree once the server confirmed.
  ASSERT_TRUE(pump_until([&] { return item(kFriends, kCarol) == nullptr; }));
  // Removing from the blacklist asks nothing.
  const int asked = boxes_answered;
  const Point dave = row_of(kColleagues, kDave);
  tap(dave.x, dave.y);
  tap(kOperationsKey.x, kOperationsKey.y);
  p = menu_item(4);
  tap(p.x, p.y);
  EXPECT_EQ(boxes_answered, asked);
  ASSERT_TRUE(pump_until([&] { return server_count(blocked, kAlice, kDave) == 0; }));
}

// A contact added after sign-in (the engine lists it after the user's own
// entry) is in the tree as soon as the server has it, and stays there when
// the tree is built again.
TEST_F(MainWindow, AContactAddedAgainShowsAtOnceAndStays) {
  open_main();
  const auto anywhere = [&](long id) {
    for (const auto& s : main->tree().sections())
      if (s.group_id != mainwnd::ContactTreeModel::kRecentGroup)
        for (const auto& i : s.items)
          if (long(i.contact_id) == id) return true;
    return false;
  };
  ASSERT_TRUE(anywhere(kCarol));
  const int group = section(kFriends)->group_id;
  ASSERT_EQ(fx_delete_buddy_by_id(kCarol, nullptr, nullptr), 1);
  ASSERT_TRUE(pump_until([&] { return !anywhere(kCarol); }));
  ASSERT_EQ(fx_add_buddy_by_uid("100000003", "Carol", group, "", nullptr, nullptr), 1);
  EXPECT_TRUE(pump_until([&] { return anywhere(kCarol); }));
  tap(80, 720);  // the bottom bar's rebuild
  EXPECT_TRUE(anywhere(kCarol));
}

// A chosen contact's row is lit with the list's own text colour, half
// seen: its name still reads at 4.5:1 on it, in every preset.
TEST_F(MainWindow, TheChosenRowsNameReads) {
  open_main();
  for (const auto& preset : shell::theme_presets()) {
    SCOPED_TRACE(std::string(preset.name));
    shell::apply_preset(preset, shell::theme_colors());
    const Point carol = row_of(kFriends, kCarol);
    ASSERT_GT(carol.y, 0);
    (void)design->take();
    tap(carol.x, carol.y);
    settle();
    int seen = 0;
    for (const auto& d : design->take()) {
      if (d.text != u"Carol") continue;
      ++seen;
      const auto found = design_faults(d);
      EXPECT_TRUE(found.empty()) << found.front();
    }
    EXPECT_GT(seen, 0);
  }
}

TEST_F(MainWindow, MoveToAnotherListReachesTheServerAndTheTree) {
  open_main();
  const Point carol = row_of(kFriends, kCarol);
  ASSERT_GT(carol.y, 0);
  tap(carol.x, carol.y);
  tap(kOperationsKey.x, kOperationsKey.y);
  const Point move = menu_item(2);
  tap(move.x, move.y);
  // The lists Carol is not in.
  ASSERT_TRUE(main->menu().shown());
  int colleagues = -1;
  const auto& offered = main->menu().items();
  for (size_t i = 0; i < offered.size(); ++i) {
    EXPECT_NE(offered[i].text, kFriends);
    if (offered[i].text == kColleagues) colleagues = int(i);
  }
  ASSERT_GE(colleagues, 0);
  const Point to = menu_item(colleagues);
  tap(to.x, to.y);
  ASSERT_TRUE(pump_until([&] { return item(kColleagues, kCarol) != nullptr; }));
  EXPECT_EQ(item(kFriends, kCarol), nullptr);
  EXPECT_TRUE(saw_box(u"移动好友成功！"));
  EXPECT_EQ(server_count("SELECT COUNT(*) FROM buddies WHERE owner=? AND buddy=? AND lists='2'",
                         kAlice, kCarol),
            1);
}

TEST_F(MainWindow, MenusAnswerWithoutScreensWhereTheyMust) {
  open_main();
  const auto choose = [&](Point key, int index) {
    tap(key.x, key.y);
    ASSERT_TRUE(main->menu().shown());
    const Point p = menu_item(index);
    tap(p.x, p.y);
  };
  choose(kSmsKey, 3);  // 陌生人短信
  EXPECT_TRUE(saw_box(u"想得美啊，一般人不让用的！"));
  choose(kSmsKey, 1);  // 组发短信 with no section chosen
  EXPECT_TRUE(saw_box(u"请选择你要的分组好友！"));
  {
    // A tap on a section's row chooses the whole section: 组发短信 opens for
    // its group, with no box.
    auto& router = screens::ScreenRouter::instance();
    std::vector<int> groups;
    router.add(screens::Route::kGroupSms, [&](const screens::RouteRequest& r) {
      groups.push_back(r.group_id);
      return 0;
    });
    const auto* friends = section(kFriends);
    ASSERT_NE(friends, nullptr);
    const Point first = row_of(kFriends, long(friends->items.at(0).contact_id));
    const int header = first.y - friends->items.at(0).rect.height() / 2 -
                       controls::CScrollTree::kSectionHeight / 2;
    const size_t boxes = main->boxes().size();
    tap(200, header);
    choose(kSmsKey, 1);
    router.clear();
    EXPECT_EQ(groups, std::vector<int>{friends->group_id});
    EXPECT_EQ(main->boxes().size(), boxes);
  }
  choose(kOperationsKey, 2);  // 移动到组 with no contact chosen
  EXPECT_TRUE(saw_box(u"请选择你要移动的好友！"));
  EXPECT_FALSE(main->menu().shown());
  // The avatar opens the main menu.
  tap(75, 110);
  EXPECT_TRUE(main->menu().shown());
  EXPECT_EQ(main->menu().id(), 891);
  tap(400, 600);  // outside: closes without a command
  EXPECT_FALSE(main->menu().shown());
}

// The bottom bar's three buttons: rebuild, add a friend (the middle one,
// its two-people icon), the address book; each with the press effect.
TEST_F(MainWindow, BottomBarButtonsEachDoSomething) {
  open_main();
  auto& router = screens::ScreenRouter::instance();
  std::vector<screens::Route> opened;
  for (auto route : {screens::Route::kAddFriend, screens::Route::kAddressBook})
    router.add(route, [&](const screens::RouteRequest& r) {
      opened.push_back(r.route);
      return 0;
    });
  // A search result is there until the tree is built again.
  tap(kSearchKey.x, kSearchKey.y);
  const Point online = menu_item(2);
  tap(online.x, online.y);
  ASSERT_FALSE(section(kSearch)->items.empty());
  const int effects = controls::PressEffect::played();
  tap(80, 720);
  EXPECT_TRUE(section(kSearch)->items.empty());
  tap(240, 720);
  tap(400, 720);
  router.clear();
  EXPECT_EQ(opened, (std::vector<screens::Route>{screens::Route::kAddFriend,
                                                 screens::Route::kAddressBook}));
  EXPECT_EQ(controls::PressEffect::played(), effects + 3);
}

TEST_F(MainWindow, CommandResultsShowTheirBoxes) {
  open_main();
  struct Case {
    int code;
    const char16_t* text;
    const char16_t* title;
  };
  const Case cases[] = {
      {99, u"设置状态成功", u"设置提示"},
      {102, u"设置心情签名成功", u"设置提示"},
      {103, u"设置心情签名失败", u"设置提示"},
      {104, u"设置昵称成功", u"设置提示"},
      {105, u"设置昵称失败", u"设置提示"},
      {119, u"设置定时短信失败！", u"定时短信提示"},
      {120, u"设置定时短信成功！", u"定时短信提示"},
      {122, u"删除定时短信失败！", u"定时短信提示"},
      {123, u"删除定时短信成功！", u"定时短信提示"},
      {132, u"移动好友成功！", u"塔文提示"},
      {133, u"移动好友失败！", u"塔文提示"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    engine(c.code);
    ASSERT_FALSE(main->boxes().empty());
    EXPECT_EQ(main->boxes().back().text, c.text);
    EXPECT_EQ(main->boxes().back().title, c.title);
    // The mood result puts the status word behind the number; the others
    // give the plain number back.
    if (c.code == 102) {
      EXPECT_EQ(main->number_label(), u"号码：100000001  在线");
    }
    if (c.code == 104) {
      EXPECT_EQ(main->number_label(), u"号码：100000001");
    }
  }
  const size_t shown = main->boxes().size();
  for (int quiet : {90, 94, 100, 101, 17, 81, 106, 136}) engine(quiet);
  EXPECT_EQ(main->boxes().size(), shown);
  // An add the service refused (94 with its status) says so.
  engine(94, 404, 0);
  EXPECT_TRUE(saw_box(u"添加好友失败：没有这个塔文号码！"));
  engine(94, 486, 0);
  EXPECT_TRUE(saw_box(u"添加好友失败！"));
}

TEST_F(MainWindow, SettingsOpenOnTheStatusHeldAndTheHeaderFollowsTheOwnProfile) {
  open_main();
  auto& router = screens::ScreenRouter::instance();
  int mode = -1;
  // The settings screen answers 确定 with the entry it opened on.
  router.add(screens::Route::kSettings, [&](const screens::RouteRequest& r) {
    mode = r.mode;
    return r.mode;
  });
  router.add(screens::Route::kOwnProfile, [&](const screens::RouteRequest&) {
    fx_set_user_impresa("out hiking", nullptr, nullptr);
    EXPECT_TRUE(pump_until([] {
      fx_lock_contacts();
      const fx_personal_info* info = fx_data_get_PersonalInfo();
      const bool done = info && info->impresa && std::string(info->impresa) == "out hiking";
      fx_unlock_contacts();
      return done;
    }));
    return 0;
  });
  const auto open_menu_item = [&](int index) {
    tap(kMineKey.x, kMineKey.y);
    const Point p = menu_item(index);
    tap(p.x, p.y);
  };
  open_menu_item(1);  // 个人设置, while online
  EXPECT_EQ(mode, 0);
  EXPECT_FALSE(saw_box(u"设置状态成功"));  // the same status is not set again
  fx_set_user_state(69, "", nullptr, nullptr);
  ASSERT_TRUE(pump_until([] { return fx_get_user_state() == 69; }));
  open_menu_item(1);
  EXPECT_EQ(mode, 3);  // 离开
  open_menu_item(0);   // 个人资料
  EXPECT_EQ(main->mood(), u"out hiking");
  router.clear();
}

TEST_F(MainWindow, AStrokeOpensTheProfileOfTheContactStroked) {
  open_main();
  auto& router = screens::ScreenRouter::instance();
  std::vector<std::pair<long, int>> opened;  // contact, mode
  router.add(screens::Route::kAccountInfo, [&](const screens::RouteRequest& r) {
    opened.emplace_back(r.contact_id, r.mode);
    return 0;
  });
  const Point bob = row_of(kFriends, kBob);
  const Point echo = row_of(kFriends, kEcho);
  // Bob was chosen last; strokes over Echo name Echo, whatever was chosen.
  for (int dx : {-150, 150}) {
    const Point from = dx < 0 ? Point{360, bob.y} : Point{100, bob.y};
    down(from.x, bob.y);
    up(from.x + dx, bob.y);
    settle();
    down(from.x, echo.y);
    move(from.x + dx / 2, echo.y);
    up(from.x + dx, echo.y);
    settle();
  }
  router.clear();
  EXPECT_EQ(opened,
            (std::vector<std::pair<long, int>>{{kBob, 0}, {kEcho, 0}, {kBob, 1}, {kEcho, 1}}));
}

TEST_F(MainWindow, ALocalNameGivenInTheProfileScreenShowsInTheTree) {
  open_main();
  auto& router = screens::ScreenRouter::instance();
  // The profile screen as a person uses it: the name is set and confirmed there.
  router.add(screens::Route::kAccountInfo, [&](const screens::RouteRequest& r) {
    EXPECT_EQ(fs_set_buddyinfo(r.contact_id, "Bobby"), 1);
    return 0;
  });
  const Point bob = row_of(kFriends, kBob);
  down(360, bob.y);
  up(210, bob.y);
  settle();
  router.clear();
  ASSERT_NE(item(kFriends, kBob), nullptr);
  EXPECT_EQ(item(kFriends, kBob)->name, u"Bobby");
}

TEST_F(MainWindow, ExitSaysSoAtOnceWritesTheSettingsAndEnds) {
  open_main();
  shell::app_paths().install_folder = shell::from_path(data.path) + u"/";
  tap(kMineKey.x, kMineKey.y);
  const Point p = menu_item(5);  // 退出塔文
  (void)design->take();
  tap(p.x, p.y);
  EXPECT_TRUE(main->finished());
  EXPECT_EQ(main->exit_code(), 0);
  // Signing out and closing take a moment: the screen says so at once,
  // before the window goes, and the note reads.
  bool noted = false;
  for (const auto& d : design->take())
    if (d.text == u"正在退出塔文，请稍候…") {
      noted = true;
      EXPECT_TRUE(design_faults(d).empty());
    }
  EXPECT_TRUE(noted);
  shell::ClientSettings saved;
  saved.login_status = 0;
  ASSERT_TRUE(shell::load_settings(shell::app_paths().settings_file(), saved));
  EXPECT_EQ(saved.login_status, 1);  // online
  EXPECT_EQ(saved.sound, 1);
}

}  // namespace
}  // namespace tavrin::test
