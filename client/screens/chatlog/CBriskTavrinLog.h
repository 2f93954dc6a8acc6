// CBriskTavrinLog: the chat-log viewer. The signed-in user's contacts in a
// column at the left (online first; contacts that have not accepted the
// user left out), the chosen contact's stored lines newest first at the
// right, and an operations menu: back up all contacts or the current one
// into "<contact id>.txt" beside the history database (the device's record
// format), delete everything, the current contact's lines or the one
// selected line, find lines in every contact's history (results open the
// contact at that line), and export the current contact or everything as
// UTF-8 JSON Lines ("<contact id>.jsonl", "tab<user id>.jsonl").
//
// Every storage operation goes through the guard: a failing file is shown
// in the heading and the viewer stays usable. Rectangles are window
// coordinates (screen y - 52); the menu's are screen coordinates.
// UI thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "controls/CPopupMenu.h"
#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "storage/ChatLogStore.h"

namespace tavrin::screens {

class CBriskTavrinLog : public controls::Screen {
 public:
  static constexpr controls::Rect kTitle{0, 0, 480, 40};
  static constexpr controls::Rect kContacts{0, 40, 100, 670};
  static constexpr controls::Rect kHeading{100, 40, 480, 90};
  static constexpr controls::Rect kLines{100, 90, 479, 670};
  static constexpr controls::Rect kBar{0, 670, 480, 720};
  static constexpr int kMenuId = 8910;
  static constexpr controls::Rect kMenuItems{140, 260, 340, 660};  // screen; 50 a row
  static constexpr uintptr_t kContactListId = 667, kLineListId = 668;

  enum class Key { kBack, kOperations };
  static constexpr controls::HotArea<Key> kKeys[] = {
      {Key::kBack, {0, 670, 160, 720}},
      {Key::kOperations, {160, 670, 320, 720}},
      {Key::kBack, {320, 670, 480, 720}},
  };
  // The operations menu, in order.
  enum Operation {
    kBackupAll,       // "备份所有记录"
    kBackupCurrent,   // "备份当前记录"
    kDeleteAll,       // "删除所有记录"
    kDeleteCurrent,   // "删除当前记录"
    kDeleteSelected,  // "删除选定记录"
    kSearch,          // "查找聊天记录"
    kExportCurrent,   // "导出当前记录"
    kExportAll,       // "导出所有记录"
  };

  struct Contact {
    std::u16string name;
    int group_id = 0;
    long id = 0;
    int status = 0;
  };
  struct Item {
    storage::ChatLogRow row;
    int height = 0;
  };

  // database: the history database; user_id: the signed-in user.
  CBriskTavrinLog(std::filesystem::path database, std::int32_t user_id, platform::WindowId owner,
                  controls::UiContext ui = controls::UiContext::current());
  ~CBriskTavrinLog() override;

  int run_modal();

  // --- what the user does ---
  void choose(long contact_id);
  void operation(int index);
  // Finds lines in every contact's history; the results replace the lines.
  void search(const std::u16string& query);
  // Opens a search result: its contact, with that line selected and in view.
  void open_hit(size_t index);
  void select_line(int index);

  // --- state ---
  const std::vector<Contact>& contacts() const { return contacts_; }
  const std::vector<Item>& items() const { return items_; }  // lines or results, newest first
  long current() const { return current_; }
  // The text of the last box that named a file.
  const std::u16string& told() const { return told_; }
  const std::u16string& heading() const { return heading_; }
  bool searching() const { return searching_; }
  int selected_line() const { return selected_; }
  std::filesystem::path folder() const { return database_.parent_path(); }
  controls::CScrollList& line_list() { return lines_; }
  controls::CPopupMenu& menu() { return menu_; }
  // The signed-in user's contacts as the engine lists them (online first).
  static std::vector<Contact> engine_contacts();
  // The signed-in user's numeric id (the engine's uid), which names the log table.
  static std::int32_t signed_in_user();

 protected:
  bool on_create() override;
  void on_destroy() override;
  void on_paint(gfx::Painter& p) override;
  void on_stylus(platform::StylusAction action, controls::Point screen) override;
  void on_menu(int menu_id, int index) override;
  bool on_key(uint32_t key_code) override;
  intptr_t on_message(const platform::Message& m) override;

 private:
  void load_lines();
  void show_items(int scroll_to = -1);
  bool backup_current();
  void export_rows(bool all);
  // A "塔文提示" box that names where a file went.
  void tell(const std::u16string& text);
  void show_menu();
  std::u16string name_of(long contact_id) const;
  void paint_contact(gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r,
                     bool selected);
  void paint_line(gfx::PixelCanvas& c, const controls::ListRow& row, const gfx::Rect& r,
                  bool selected);
  // Runs a storage operation; false, with the failure in the heading, when it failed.
  bool guarded(const std::function<void()>& op);

  std::filesystem::path database_;
  std::int32_t user_id_;
  storage::ChatLogStore log_;
  std::vector<Contact> contacts_;
  std::vector<Item> items_;
  long current_ = 0;
  bool chosen_ = false;  // a contact is chosen (its id may be 0)
  std::u16string told_;
  std::u16string current_name_;
  std::u16string heading_;
  bool searching_ = false;
  int selected_ = -1;
  controls::CScrollList contact_list_{70};
  controls::CScrollList lines_;
  controls::CScrollList* pressed_ = nullptr;
  controls::CPopupMenu menu_;
};

}  // namespace tavrin::screens
