#include "pending_slots.h"

namespace tavrin::server {

void PendingSlots::unrank(uint32_t address, const Address& a) {
  byTotal_.erase({a.total(), address});
  withSilent_.erase({a.total(), address});
}

void PendingSlots::rank(uint32_t address, const Address& a) {
  if (a.total() == 0) return;
  byTotal_.insert({a.total(), address});
  if (!a.silent.empty()) withSilent_.insert({a.total(), address});
}

void PendingSlots::add(uint64_t id, uint32_t address) {
  if (!slots_.emplace(id, Slot{address, false}).second) return;
  Address& a = byAddress_[address];
  unrank(address, a);
  a.silent.insert(id);
  rank(address, a);
}

void PendingSlots::begin(uint64_t id) {
  auto it = slots_.find(id);
  if (it == slots_.end() || it->second.begun) return;
  it->second.begun = true;
  Address& a = byAddress_[it->second.address];
  unrank(it->second.address, a);
  a.silent.erase(id);
  a.begun.insert(id);
  rank(it->second.address, a);
}

void PendingSlots::remove(uint64_t id) {
  auto it = slots_.find(id);
  if (it == slots_.end()) return;
  const uint32_t address = it->second.address;
  auto at = byAddress_.find(address);
  if (at != byAddress_.end()) {
    unrank(address, at->second);
    at->second.silent.erase(id);
    at->second.begun.erase(id);
    if (at->second.total() == 0)
      byAddress_.erase(at);
    else
      rank(address, at->second);
  }
  slots_.erase(it);
}

size_t PendingSlots::countAt(uint32_t address) const {
  auto it = byAddress_.find(address);
  return it == byAddress_.end() ? 0 : it->second.total();
}

std::optional<uint32_t> PendingSlots::addressOf(uint64_t id) const {
  auto it = slots_.find(id);
  if (it == slots_.end()) return std::nullopt;
  return it->second.address;
}

std::optional<uint64_t> PendingSlots::victim() const {
  if (!withSilent_.empty())
    return *byAddress_.at(withSilent_.rbegin()->second).silent.begin();
  if (!byTotal_.empty()) return *byAddress_.at(byTotal_.rbegin()->second).begun.begin();
  return std::nullopt;
}

std::optional<uint64_t> PendingSlots::victimAt(uint32_t address) const {
  auto it = byAddress_.find(address);
  if (it == byAddress_.end()) return std::nullopt;
  if (!it->second.silent.empty()) return *it->second.silent.begin();
  return *it->second.begun.begin();
}

}  // namespace tavrin::server
