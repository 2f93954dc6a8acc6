// The seam between the main window and the chat window, which live in
// different modules: what the chat window asks of the main window (its
// lists, the pending lines, marking a contact read) and what the main
// window asks of an open chat window (which contact it shows, a new-message
// notice). The main window owns the one open chat window. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"

namespace tavrin::screens {

// One entry of the main window's lists as the chat window's tabs show them.
struct ChatListEntry {
  long contact_id = 0;
  std::u16string name;
  bool new_message = false;
};

class MainWindowLink {
 public:
  virtual ~MainWindowLink() = default;
  virtual bool logged_in() const = 0;
  // Tab 1: the recent-contacts section; tab 3: the conversations.
  virtual std::vector<ChatListEntry> recent_contacts() const = 0;
  virtual std::vector<ChatListEntry> conversations() const = 0;
  // Takes (removes) the pending lines (send reports) queued for a contact.
  virtual std::vector<std::u16string> take_pending(long contact_id) = 0;
  // The contact's messages were read: clear its new-message mark.
  virtual void mark_read(long contact_id) = 0;
  // A line the engine took, shown and logged (row `rowid`, 0 when not) as
  // pending: its result reaches the main window, which settles the line in
  // the log and in the chat window showing it. Returns the line's id.
  virtual std::uint64_t line_sending(long contact_id, const std::u16string& text,
                                     std::int64_t rowid) = 0;
};

class ChatWindow {
 public:
  virtual ~ChatWindow() = default;
  virtual long contact_id() const = 0;
  virtual platform::WindowId window() const = 0;
  // New-message notice from the main window: an empty text means lines for
  // contact_id wait in the engine's queue.
  virtual void notify(long contact_id, const std::u16string& text) = 0;
  virtual void set_logged_in(bool logged_in) = 0;
  // Shows the conversation with another contact (its lines read).
  virtual void switch_to(long contact_id) = 0;
  // A sent line got its result: the line with that id (line_sending) or
  // log row now reads `line`.
  virtual void line_settled(std::uint64_t id, std::int64_t rowid, const std::u16string& line) = 0;
  // Runs the window modally until the user leaves it.
  virtual int run_modal() = 0;
};

// Makes the chat window for a contact over owner; wired by the chat module
// (routes.cpp). Null while no chat window is built.
using ChatFactory = std::unique_ptr<ChatWindow> (*)(long contact_id, platform::WindowId owner,
                                                    MainWindowLink& main, bool sms_mode);
ChatFactory& chat_factory();

}  // namespace tavrin::screens
