// ContactTreeModel: the contents of the main window's contact tree, kept in
// the tree control's own sections. Sections in order: "最近联系人" (group
// 999, contacts met this session), one per buddy list, "未分组" (group 0),
// "统计查找" (group 1000, search results). Each section counts the items
// online (66, 67, 69, 70); buddy-list sections also say how many items
// they hold ("人在线；共 %d 人。").
//
// A change names what it touched (rows and section headers), so the window
// repaints only those; rows added or removed ask for a new layout.
// UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/CScrollTree.h"
#include "mainwnd/contact_source.h"

namespace tavrin::mainwnd {

class ContactTreeModel {
 public:
  static constexpr int kRecentGroup = 999;
  static constexpr int kUngroupedGroup = 0;
  static constexpr int kSearchGroup = 1000;
  static constexpr int kRecentSection = 0;

  struct Touched {
    std::vector<std::pair<int, int>> rows;  // (section, item)
    std::vector<int> headers;               // sections whose header changed
    bool layout = false;                    // rows came or went
    bool any() const { return layout || !rows.empty() || !headers.empty(); }
  };

  explicit ContactTreeModel(std::vector<controls::TreeSection>& sections) : sections_(sections) {}

  // Empties the tree and fills it from the store's lists and contacts.
  void build(const StoreSnapshot& store);

  // The contact's new name, status and handset flag, in every section;
  // a contact not yet under its buddy list is added there when may_add.
  Touched update(const ContactRecord& contact, bool may_add = true);
  // Takes the contact out of every section but the recent one.
  Touched remove(uint32_t id);
  // Puts the contact into the recent section (added at its end when
  // missing) with the new-message flag set or cleared.
  Touched mark_recent(const ContactRecord& contact, bool new_message);

  // Search: each result once, in tree order, from the buddy-list sections.
  std::vector<controls::TreeItem> find_if(
      const std::function<bool(const controls::TreeItem&)>& match) const;
  // By name as name_matches reads it: either case, or pinyin.
  std::vector<controls::TreeItem> find_by_name(std::u16string_view part) const;
  std::vector<controls::TreeItem> find_by_number(std::u16string_view part) const;
  // Empties "统计查找" and fills it with the results.
  Touched fill_search(std::vector<controls::TreeItem> results);

  // The first item of the contact in any section; null when none.
  const controls::TreeItem* find(uint32_t id) const;
  int section_of_group(int group_id) const;  // -1 when none
  // Contacts whose name is exactly nine characters (a bare number).
  std::vector<uint32_t> bare_number_ids() const;

  std::vector<controls::TreeSection>& sections() { return sections_; }

 private:
  static controls::TreeItem item_of(const ContactRecord& c);
  bool recount(int section);  // true when the header changed
  bool is_buddy_section(int section) const;

  std::vector<controls::TreeSection>& sections_;
};

}  // namespace tavrin::mainwnd
