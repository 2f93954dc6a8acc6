// PendingSlots: the connections that have not registered yet, by age and by
// peer address, and which of them to drop when room is needed. A
// connection that has begun a login (sent a message) is never dropped
// while one that has said nothing remains; among those of the same kind,
// the address holding the most connections gives one up, its oldest, so
// that a flood from a few addresses never crowds out a login from another.
// Plain data; event-loop thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

namespace tavrin::server {

class PendingSlots {
 public:
  struct Slot {
    uint32_t address = 0;
    bool begun = false;
  };
  // Ids grow with age: the first is the oldest.
  void add(uint64_t id, uint32_t address);
  // The connection sent its first message.
  void begin(uint64_t id);
  void remove(uint64_t id);
  size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  size_t countAt(uint32_t address) const;
  // The peer address of a waiting connection, if it is one.
  std::optional<uint32_t> addressOf(uint64_t id) const;
  const std::map<uint64_t, Slot>& all() const { return slots_; }

  // The connection to drop to make room: silent ones first, from the
  // address with the most connections, its oldest.
  std::optional<uint64_t> victim() const;
  // The same within one address (its silent ones first, oldest first).
  std::optional<uint64_t> victimAt(uint32_t address) const;

 private:
  struct Address {
    std::set<uint64_t> silent, begun;
    size_t total() const { return silent.size() + begun.size(); }
  };
  // Moves the address's place in the rankings around a change to it.
  void unrank(uint32_t address, const Address& a);
  void rank(uint32_t address, const Address& a);

  std::map<uint64_t, Slot> slots_;
  std::unordered_map<uint32_t, Address> byAddress_;
  // (connections at the address, address): every address, and those with silent ones.
  std::set<std::pair<size_t, uint32_t>> byTotal_;
  std::set<std::pair<size_t, uint32_t>> withSilent_;
};

}  // namespace tavrin::server
