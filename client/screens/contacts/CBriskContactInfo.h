// CBriskContactInfo: the device's address book. The first level lists
// "所有联系人" and one entry per category of the cards (the category
// "Mobile", where phones keep their mobile contacts, is marked); an entry
// opens its cards under the title "查看%s", and a card opens the add-friend
// screen filled with its name and number. The book is a vCard file: the
// one set with set_address_book_file (the command line), else
// "AddressBook.vcf" in the client's DB folder. A missing file gives an
// empty list, never a box; the empty list says where the file goes. UI thread only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "platform/address_book.h"

namespace tavrin::screens {

// The address-book file for this process (empty: the default).
void set_address_book_file(std::filesystem::path file);
std::filesystem::path address_book_file();

// What a card fills the add-friend screen with: the number of its first
// phone with 11 digits (a "+86" prefix dropped) in mobile mode, else of the
// last phone, in Tavrin-number mode when it has 9 digits.
struct CardNumber {
  int mode = 1;
  std::u16string number;
};
CardNumber card_number(const platform::AddressCard& card);

class CBriskContactInfo : public controls::Screen {
 public:
  static constexpr controls::Rect kList{0, 60, 480, 684};  // window coordinates
  static constexpr int kRowHeight = 80;
  static constexpr uintptr_t kListId = 47;

  explicit CBriskContactInfo(controls::UiContext ui = controls::UiContext::current());
  ~CBriskContactInfo() override;

  int run_modal();

  // The first level's entries ("所有联系人", then the categories).
  const std::vector<std::u16string>& entries() const { return entries_; }
  // -1 on the first level, else the opened entry.
  int opened() const { return opened_; }
  const std::vector<platform::AddressCard>& shown_cards() const { return shown_; }
  std::u16string title() const;
  // What the empty book says under "通讯录中没有联系人": the file's place.
  static std::u16string empty_hint();

  // The taps, as the screen handles them.
  void open_entry(int index);
  void choose_card(int index);
  void back();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_command(int command) override;
  static constexpr int kBack = 1;
  intptr_t on_message(const platform::Message& m) override;

 private:
  void fill_list();
  void paint_row(gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r,
                 bool selected);

  std::vector<platform::AddressCard> cards_;
  std::vector<std::u16string> entries_;
  std::vector<platform::AddressCard> shown_;
  int opened_ = -1;
  controls::CScrollList list_{kRowHeight};
};

}  // namespace tavrin::screens
