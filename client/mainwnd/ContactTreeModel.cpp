#include "mainwnd/ContactTreeModel.h"

#include <algorithm>
#include <map>
#include <set>

#include "mainwnd/header_texts.h"
#include "mainwnd/name_match.h"

namespace tavrin::mainwnd {

using controls::TreeItem;
using controls::TreeSection;

namespace {

TreeSection section(std::u16string caption, int group_id) {
  TreeSection s;
  s.caption = std::move(caption);
  s.group_id = group_id;
  return s;
}

}  // namespace

TreeItem ContactTreeModel::item_of(const ContactRecord& c) {
  TreeItem item;
  item.name = c.name;
  item.contact_id = c.id;
  item.group_id = c.group_id;
  item.status = stored_status(c.status);
  item.mobile = c.mobile;
  return item;
}

bool ContactTreeModel::is_buddy_section(int s) const {
  const int g = sections_[size_t(s)].group_id;
  return g != kRecentGroup && g != kSearchGroup;
}

bool ContactTreeModel::recount(int s) {
  TreeSection& sec = sections_[size_t(s)];
  int online = 0;
  for (const auto& item : sec.items) online += counts_online(item.status);
  std::u16string text;
  if (is_buddy_section(s)) text = u"人在线；共 " + decimal(long(sec.items.size())) + u" 人。";
  const bool changed = online != sec.online || text != sec.count_text;
  sec.online = online;
  sec.count_text = std::move(text);
  return changed;
}

void ContactTreeModel::build(const StoreSnapshot& store) {
  sections_.clear();
  sections_.push_back(section(u"最近联系人", kRecentGroup));
  // Sections by group id; two lists with one id both get its contacts.
  std::multimap<int, size_t> by_group;
  for (const auto& list : store.lists) {
    by_group.emplace(list.id, sections_.size());
    sections_.push_back(section(list.name, list.id));
  }
  by_group.emplace(kUngroupedGroup, sections_.size());
  sections_.push_back(section(u"未分组", kUngroupedGroup));
  // One pass in store order puts each section's items in the order of a
  // walk per section.
  for (const auto& c : store.contacts) {
    auto [first, last] = by_group.equal_range(c.group_id);
    for (auto it = first; it != last; ++it) sections_[it->second].items.push_back(item_of(c));
  }
  sections_.push_back(section(u"统计查找", kSearchGroup));
  for (int s = 0; s < int(sections_.size()); ++s) recount(s);
}

ContactTreeModel::Touched ContactTreeModel::update(const ContactRecord& c, bool may_add) {
  Touched t;
  const TreeItem fresh = item_of(c);
  bool listed = false;
  for (int s = 0; s < int(sections_.size()); ++s) {
    auto& items = sections_[size_t(s)].items;
    bool row_changed = false;
    for (int i = 0; i < int(items.size()); ++i) {
      TreeItem& item = items[size_t(i)];
      if (item.contact_id != c.id) continue;
      if (is_buddy_section(s)) listed = true;
      if (item.name == fresh.name && item.status == fresh.status && item.mobile == fresh.mobile)
        continue;
      item.name = fresh.name;
      item.status = fresh.status;
      item.mobile = fresh.mobile;
      t.rows.emplace_back(s, i);
      row_changed = true;
    }
    if (row_changed && recount(s)) t.headers.push_back(s);
  }
  if (!listed && may_add) {
    // A contact the tree has not met yet (newly added or accepted).
    for (int s = 0; s < int(sections_.size()); ++s) {
      if (!is_buddy_section(s) || sections_[size_t(s)].group_id != c.group_id) continue;
      sections_[size_t(s)].items.push_back(fresh);
      recount(s);
      t.headers.push_back(s);
      t.layout = true;
    }
  }
  return t;
}

ContactTreeModel::Touched ContactTreeModel::remove(uint32_t id) {
  Touched t;
  for (int s = 0; s < int(sections_.size()); ++s) {
    if (sections_[size_t(s)].group_id == kRecentGroup) continue;
    auto& items = sections_[size_t(s)].items;
    const auto gone = std::remove_if(items.begin(), items.end(),
                                     [id](const TreeItem& i) { return i.contact_id == id; });
    if (gone == items.end()) continue;
    items.erase(gone, items.end());
    recount(s);
    t.headers.push_back(s);
    t.layout = true;
  }
  return t;
}

ContactTreeModel::Touched ContactTreeModel::mark_recent(const ContactRecord& c, bool new_message) {
  Touched t;
  if (sections_.empty()) return t;
  auto& items = sections_[kRecentSection].items;
  for (int i = 0; i < int(items.size()); ++i) {
    TreeItem& item = items[size_t(i)];
    if (item.contact_id != c.id) continue;
    if (item.new_message != new_message) {
      item.new_message = new_message;
      t.rows.emplace_back(kRecentSection, i);
    }
    return t;
  }
  TreeItem item = item_of(c);
  item.new_message = new_message;
  items.push_back(std::move(item));
  if (recount(kRecentSection)) t.headers.push_back(kRecentSection);
  t.layout = true;
  return t;
}

std::vector<TreeItem> ContactTreeModel::find_if(
    const std::function<bool(const TreeItem&)>& match) const {
  std::vector<TreeItem> out;
  std::set<uint32_t> seen;
  for (int s = 0; s < int(sections_.size()); ++s) {
    if (!is_buddy_section(s)) continue;
    for (const auto& item : sections_[size_t(s)].items)
      if (match(item) && seen.insert(item.contact_id).second) {
        out.push_back(item);
        out.back().new_message = false;
      }
  }
  return out;
}

std::vector<TreeItem> ContactTreeModel::find_by_name(std::u16string_view part) const {
  const Readings& readings = system_readings();
  return find_if([&](const TreeItem& i) { return name_matches(i.name, part, readings); });
}

std::vector<TreeItem> ContactTreeModel::find_by_number(std::u16string_view part) const {
  return find_if([part](const TreeItem& i) {
    return decimal(long(i.contact_id)).find(part) != std::u16string::npos;
  });
}

ContactTreeModel::Touched ContactTreeModel::fill_search(std::vector<TreeItem> results) {
  Touched t;
  const int s = section_of_group(kSearchGroup);
  if (s < 0) return t;
  sections_[size_t(s)].items = std::move(results);
  sections_[size_t(s)].expanded = true;
  recount(s);
  t.headers.push_back(s);
  t.layout = true;
  return t;
}

const TreeItem* ContactTreeModel::find(uint32_t id) const {
  for (const auto& sec : sections_)
    for (const auto& item : sec.items)
      if (item.contact_id == id) return &item;
  return nullptr;
}

int ContactTreeModel::section_of_group(int group_id) const {
  for (int s = 0; s < int(sections_.size()); ++s)
    if (sections_[size_t(s)].group_id == group_id) return s;
  return -1;
}

std::vector<uint32_t> ContactTreeModel::bare_number_ids() const {
  std::vector<uint32_t> out;
  std::set<uint32_t> seen;
  for (const auto& sec : sections_)
    for (const auto& item : sec.items)
      if (item.name.size() == 9 && seen.insert(item.contact_id).second)
        out.push_back(item.contact_id);
  return out;
}

}  // namespace tavrin::mainwnd
