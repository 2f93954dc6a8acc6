// DialogTable: the engine's chat dialogs, one per contact or group-chat id,
// each with the sends that await an answer, and the delayed sends and
// nudges that wait for a dialog to open.
//
// Guard: the dialog lock (mutex(), recursive). It is taken AFTER the timer
// lock and never before it: every path that changes the table may also add
// or remove timers, so it takes the timer lock first (ImLock in dialogs.h
// takes both in that order). The send-queue, transaction, store and
// message-queue locks are leaves below it.
//
// Ownership: the table owns its dialogs, their pending sends and the
// sent-message records in them, and the delayed tasks. A record leaves the
// table only when a final result hands it to a receiver. Every line gets
// exactly one final result: dropping a dialog (or the whole table) fails
// each line still waiting in it with 53, handing its record over, and
// frees only the records whose line already timed out (54). Timers never
// point into the table: their arguments carry keys, and their handlers look
// the entry up again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "im/reply.h"

namespace tavrin::im {

// A request of a dialog awaiting its answer: an invitation (no record) or a
// chat line.
struct PendingSend {
  int32_t sequence = 0;
  ReplyTo reply;
  MsgPtr record;
  bool timed_out = false;  // 54 was posted: its one final result is out
};

struct Dialog {
  long contact_id = 0;
  int32_t call_id = 0;
  bool open = false;  // false while the invitation is pending
  std::deque<PendingSend> pending;

  PendingSend* find(int32_t sequence);
  // Removes and returns the pending send with that sequence number.
  std::optional<PendingSend> take(int32_t sequence);
};

// A line or nudge waiting for its contact's dialog; its timer has key
// (timer_id, 1).
struct DelayedTask {
  uint32_t timer_id = 0;
  long contact_id = 0;
  bool nudge = false;
  std::string text;
  ReplyTo reply;
  uint32_t waited = 0;  // ticks spent waiting for the dialog
};

class DialogTable {
 public:
  // Lines of one contact that may wait at once: pending sends (answers not
  // yet in, time-outs included) plus delayed sends. A further line is
  // refused, so a server that stops answering cannot grow a dialog without
  // bound.
  static constexpr size_t kMaxWaitingLines = 64;

  std::recursive_mutex& mutex() { return mu_; }

  // All below require the dialog lock.
  Dialog* by_contact(long contact_id);
  Dialog* by_call(int32_t call_id);
  // A new entry for the contact; any earlier entry of the contact is
  // removed and handed back (for its timers and transaction to be cleaned
  // up), or null.
  Dialog& put(long contact_id, int32_t call_id, bool open, std::unique_ptr<Dialog>* replaced);
  std::unique_ptr<Dialog> take(long contact_id);
  std::vector<std::unique_ptr<Dialog>> take_all();
  size_t size() const { return dialogs_.size(); }

  void add_task(DelayedTask task) { tasks_.push_back(std::move(task)); }
  DelayedTask* task(uint32_t timer_id);
  std::optional<DelayedTask> take_task(uint32_t timer_id);
  // The contact's tasks in the order they were made, removed from the table.
  std::vector<DelayedTask> take_tasks(long contact_id);
  std::deque<DelayedTask> take_all_tasks();
  // Lines (not nudges) of the contact waiting: pending sends plus tasks.
  size_t waiting_lines(long contact_id);
  size_t task_count() const { return tasks_.size(); }

 private:
  std::recursive_mutex mu_;                       // the dialog lock; guards the fields below
  std::vector<std::unique_ptr<Dialog>> dialogs_;  // a handful at a time: searched in order
  std::deque<DelayedTask> tasks_;                 // in order of creation
};

DialogTable& dialog_table();

}  // namespace tavrin::im
