// The main window's pop-up menus: ids, titles, places (screen coordinates)
// and items in order. Each item is a 50-pixel row below the 50-pixel title.
#pragma once

#include "controls/CPopupMenu.h"

namespace tavrin::mainwnd {

namespace menu {
inline constexpr int kSearch = 888;    // search and statistics → "统计查找"
inline constexpr int kSettings = 889;  // theme, own profile, chat logs
inline constexpr int kSms = 890;       // "短信操作"
inline constexpr int kMain = 891;      // "BriskLibTavrin"
inline constexpr int kContacts = 892;  // "联系人操作"
inline constexpr int kMoveTo = 893;    // "移动到组": the buddy lists, built when shown
}  // namespace menu

// Item indexes of each menu.
enum class MainItem { kProfile, kSettings, kChatLog, kAbout, kLogout, kExit };
enum class SmsItem { kScheduled, kToGroup, kToAll, kToStranger, kToSelf };
enum class ContactItem { kAdd, kDelete, kMove, kBlock, kUnblock };
enum class SearchItem { kByName, kByNumber, kOnline, kOffline, kMobile, kUnaccepted };
enum class SettingsItem { kTheme, kProfile, kChatLog };

// Clears the menu and makes it the menu with this id. Signed out, the main
// menu's "注销塔文" is "登录塔文": back to the login screen.
void build_menu(controls::CPopupMenu& m, int id, bool signed_out = false);

}  // namespace tavrin::mainwnd
