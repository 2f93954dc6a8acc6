// The address book: the vCard reader on the shapes phones export, and the
// address-book screen listing "所有联系人" and the categories, opening a
// category, filling the add-friend screen from a card, and a missing file
// giving an empty list without a box that says where the file goes.
#include "platform/address_book.h"

#include <fstream>

#include "contact_fixture.h"
#include "screens/contacts/CBriskContactInfo.h"

namespace tavrin::test {
namespace {

using platform::parse_vcards;
using screens::CBriskContactInfo;

constexpr char kBook[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zhang Wei\r\nN:Zhang;Wei;;;\r\n"
    "item1.TEL;TYPE=CELL:+86 139-0000-0004\r\nCATEGORIES:Mobile,Family\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Li;Na\r\nTEL;HOME:020 1234\r\n"
    "CATEGORIES:Work\\, Old,Family\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\nVERSION:4.0\nFN:Very Long\n  Name\nNOTE:a\\nb\nEND:VCARD\n";

TEST(VCardTest, ReadsNamesPhonesAndCategoriesAsPhonesWriteThem) {
  const auto cards = parse_vcards(kBook);
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].name, "Zhang Wei");
  EXPECT_EQ(cards[0].phones, std::vector<std::string>{"+86 139-0000-0004"});
  EXPECT_EQ(cards[0].categories, (std::vector<std::string>{"Mobile", "Family"}));
  EXPECT_EQ(cards[1].name, "Na Li");  // no FN: given and family name
  EXPECT_EQ(cards[1].categories, (std::vector<std::string>{"Work, Old", "Family"}));
  EXPECT_EQ(cards[2].name, "Very Long Name");  // a folded line
  EXPECT_TRUE(cards[2].phones.empty());
}

TEST(VCardTest, GarbageAndUnfinishedCardsGiveNothing) {
  for (const char* text : {"", "BEGIN:VCARD\nFN:x\n", "FN:x\nEND:VCARD\n", ":::\n\n\r\n",
                           "BEGIN:VCARD\nTEL\nCATEGORIES:\\\nEND:VCARD\n"}) {
    const auto cards = parse_vcards(text);
    for (const auto& c : cards) EXPECT_TRUE(c.name.empty() && c.phones.empty());
  }
  EXPECT_TRUE(platform::read_address_book("/nonexistent/AddressBook.vcf").empty());
}

class AddressBookTest : public ContactScreenTest {
 protected:
  void TearDown() override {
    screens::set_address_book_file({});
    ContactScreenTest::TearDown();
  }
  static int row_y(int row) {
    return CBriskContactInfo::kList.top + 52 + row * CBriskContactInfo::kRowHeight + 40;
  }
};

TEST_F(AddressBookTest, CategoriesOpenAndACardFillsTheAddFriendScreen) {
  const auto file = data.path / "book.vcf";
  std::ofstream(file) << kBook;
  screens::set_address_book_file(file);
  CBriskContactInfo dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.entries(),
              (std::vector<std::u16string>{u"所有联系人", u"Mobile", u"Family", u"Work, Old"}));
    EXPECT_EQ(golden_shot("address_book"), "");
    tap(240, row_y(2));  // Family
    EXPECT_EQ(dlg.title(), u"查看Family");
    ASSERT_EQ(dlg.shown_cards().size(), 2u);
    EXPECT_EQ(golden_shot("address_book_family"), "");  // a card's name above its number
    // Zhang Wei's card: the add-friend screen in mobile mode with his number.
    const auto n = screens::card_number(dlg.shown_cards()[0]);
    EXPECT_EQ(n.mode, 1);
    EXPECT_EQ(n.number, u"13900000004");
    // A row's tap arrives as a posted message: the add-friend screen opens
    // after what is queued now.
    down(240, row_y(0));
    up(240, row_y(0));
    inside_modal([&] {
      EXPECT_EQ(ws->class_name(ws->active()), "CAddFriendDlg");
      EXPECT_EQ(golden_shot("address_book_add_friend"), "");
      tap(kRightKey);
    });
    settle();
    tap(kRightKey);  // 返回
    EXPECT_EQ(dlg.opened(), -1);
    tap(kRightKey);  // 退出
  });
  EXPECT_EQ(dlg.run_modal(), 0);
}

TEST_F(AddressBookTest, MissingFileListsOnlyAllContactsAndSaysWhereTheFileGoes) {
  screens::set_address_book_file("/home/tavrin.test/Tavrin/DB/AddressBook.vcf");
  CBriskContactInfo dlg;
  inside_modal([&] {
    EXPECT_EQ(dlg.entries(), std::vector<std::u16string>{u"所有联系人"});
    EXPECT_TRUE(dlg.empty_hint().ends_with(u"：\n/home/tavrin.test/Tavrin/DB/AddressBook.vcf"));
    EXPECT_EQ(golden_shot("address_book_empty"), "");
    tap(240, row_y(0));
    EXPECT_TRUE(dlg.shown_cards().empty());
    tap(kRightKey);
    tap(kRightKey);
  });
  EXPECT_EQ(dlg.run_modal(), 0);
}

}  // namespace
}  // namespace tavrin::test
