// CBriskTavrinLog: the chat-log viewer. The signed-in user's contacts in a
// column at the left (online first; contacts that have not accepted the
// user left out), the chosen contact's stored lines newest first at the
// right, and an operations menu: back up all contacts or the current one
// into "<contact id>.txt" beside the history database (the device's record
// format), delete everything, the current contact's lines or the one
// selected line, find lines in every contact's history (results open the
// contact at that line), and export the current contact or everything as
// UTF-8 JSON Lines ("<contact id>.jsonl", "tab<user id>.jsonl"). A delete
// first asks, naming what goes and how many lines, and then says what was
// deleted; a backup leaves the lines shown (a contact's or search results)
// and the selection as they were. Each line's item is as high as its text
// wraps to, with the line's date and time under it.
//
// Every storage operation goes through the guard: a failing file is shown
// in the heading and the viewer stays usable. Rectangles are window
// coordinates; the menu's are screen coordinates.
// UI thread only, but for the search indexer: a log too large to index at
// its first search is indexed on a thread of the viewer's own while searches
// scan (the heading says so); it shares only its two flags with the UI
// thread, and the viewer stops and joins it when it closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "controls/CPopupMenu.h"
#include "controls/CScrollList.h"
#include "controls/Screen.h"
#include "storage/ChatLogStore.h"

namespace tavrin::screens {

class CBriskTavrinLog : public controls::Screen {
 public:
  static constexpr controls::Rect kTitle{0, 0, 480, 40};
  static constexpr controls::Rect kContacts{0, 40, 100, 688};
  static constexpr controls::Rect kHeading{100, 40, 480, 90};
  static constexpr controls::Rect kLines{100, 90, 479, 688};
  static constexpr controls::Rect kBar = controls::kSoftKeyBar;
  static constexpr int kMenuId = 8910;
  // The menu, screen coordinates: its title band, then 50 pixels an item.
  static constexpr controls::Rect kMenu{140, 210, 340, 660};
  static constexpr uintptr_t kContactListId = 667, kLineListId = 668;

  enum Key { kBack = 1, kOperations, kSearchKey };
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
  // The text of the last box that said what was done, and of the last
  // question asked.
  const std::u16string& told() const { return told_; }
  const std::u16string& asked() const { return asked_; }
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
  void on_command(int command) override;
  void on_menu(int menu_id, int index) override;
  bool on_key(uint32_t key_code) override;
  intptr_t on_message(const platform::Message& m) override;

 private:
  void load_lines();
  void show_items(int scroll_to = -1);
  bool backup_current();
  // Writes the contact's backup file from the log; the view stays.
  bool backup_contact(long contact_id);
  // Asks the user to confirm; true for "是".
  bool confirm(const std::u16string& question);
  // The three deletes: ask, delete, reload, say.
  void delete_lines(int operation);
  void ask_search();
  // The item height a stored line wraps to in the line list.
  int item_height(const storage::ChatLogRow& row) const;
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
  // Starts the indexer unless the indexes are whole or it runs; true while it runs.
  bool index_in_background();
  void stop_indexer();

  std::filesystem::path database_;
  std::int32_t user_id_;
  storage::ChatLogStore log_;
  std::vector<Contact> contacts_;
  std::vector<Item> items_;
  long current_ = 0;
  bool chosen_ = false;  // a contact is chosen (its id may be 0)
  std::u16string told_;
  std::u16string asked_;
  std::u16string current_name_;
  std::u16string heading_;
  bool searching_ = false;
  int selected_ = -1;
  controls::CScrollList contact_list_{70};
  controls::CScrollList lines_;
  controls::CPopupMenu menu_;
  std::thread indexer_;                       // started and joined on the UI thread
  std::atomic<bool> indexer_running_{false};  // set by the UI thread, cleared by the indexer
  std::atomic<bool> stop_indexer_{false};     // set by the UI thread when the viewer closes
};

}  // namespace tavrin::screens
