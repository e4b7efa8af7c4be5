#include "platform/handle_table.h"

#include <mutex>
#include <vector>

namespace platform {

namespace {

struct Table {
  std::mutex mutex;
  std::vector<std::shared_ptr<KernelObject>> slots;
  std::vector<std::size_t> free_slots;
};

Table& table() {
  static Table* t = new Table;  // never destroyed: threads may close handles during exit
  return *t;
}

constexpr std::uintptr_t kStride = 4;

bool slot_of(HANDLE handle, std::size_t* slot) {
  auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value == 0 || value % kStride != 0) return false;
  *slot = value / kStride - 1;
  return true;
}

}  // namespace

HANDLE insert_handle(std::shared_ptr<KernelObject> object) {
  Table& t = table();
  std::lock_guard lock(t.mutex);
  std::size_t slot;
  if (!t.free_slots.empty()) {
    slot = t.free_slots.back();
    t.free_slots.pop_back();
    t.slots[slot] = std::move(object);
  } else {
    slot = t.slots.size();
    t.slots.push_back(std::move(object));
  }
  return reinterpret_cast<HANDLE>((slot + 1) * kStride);
}

std::shared_ptr<KernelObject> lookup_handle(HANDLE handle) {
  std::size_t slot;
  if (!slot_of(handle, &slot)) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.mutex);
  if (slot >= t.slots.size()) return nullptr;
  return t.slots[slot];
}

bool remove_handle(HANDLE handle) {
  std::size_t slot;
  if (!slot_of(handle, &slot)) return false;
  std::shared_ptr<KernelObject> doomed;
  Table& t = table();
  {
    std::lock_guard lock(t.mutex);
    if (slot >= t.slots.size() || !t.slots[slot]) return false;
    doomed = std::move(t.slots[slot]);
    t.free_slots.push_back(slot);
  }
  return true;  // `doomed` ends outside the lock: closing an object may take time
}

}  // namespace platform
