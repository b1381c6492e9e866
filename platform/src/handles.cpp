// The handle table. A handle is a number made of the object's kind, its slot and the
// slot's generation, so a handle that outlived its object, or names an object of another
// kind, is recognised without touching freed memory.
#include <vector>

#include "internal.h"

namespace zp {
namespace {

struct Slot {
  Kind kind = Kind::None;
  uint32_t generation = 1;
  std::unique_ptr<Object> obj;
};

constexpr uintptr_t kKindBits = 4;
constexpr uintptr_t kIndexBits = 16;
constexpr uintptr_t kGenerationBits = 11;

// The table and its free list are never destroyed: at process exit, objects still alive
// (a menu with its pop-ups) free other handles from their destructors and must find both
// intact. They stay reachable, so the leak checker does not count them.
std::vector<Slot> &Slots() {
  static auto *slots = new std::vector<Slot>(1);  // slot 0 is never used
  return *slots;
}
std::vector<uint32_t> &FreeSlots() {
  static auto *free = new std::vector<uint32_t>;
  return *free;
}

uintptr_t Encode(Kind kind, uint32_t index, uint32_t generation) {
  return (uintptr_t(generation) << (kKindBits + kIndexBits)) | (uintptr_t(index) << kKindBits) |
         uintptr_t(kind);
}

Slot *Decode(const void *handle) {
  auto value = reinterpret_cast<uintptr_t>(handle);
  if (value == 0 || (value >> (kKindBits + kIndexBits + kGenerationBits)) != 0) return nullptr;
  auto kind = static_cast<Kind>(value & ((1u << kKindBits) - 1));
  uint32_t index = (value >> kKindBits) & ((1u << kIndexBits) - 1);
  uint32_t generation = uint32_t(value >> (kKindBits + kIndexBits));
  auto &slots = Slots();
  if (index == 0 || index >= slots.size()) return nullptr;
  Slot &slot = slots[index];
  if (slot.kind != kind || slot.generation != generation || !slot.obj) return nullptr;
  return &slot;
}

}  // namespace

void *NewHandle(Kind kind, std::unique_ptr<Object> obj) {
  auto &slots = Slots();
  auto &free = FreeSlots();
  uint32_t index;
  if (!free.empty()) {
    index = free.back();
    free.pop_back();
  } else {
    if (slots.size() >= (1u << kIndexBits)) return nullptr;  // the table is full
    index = uint32_t(slots.size());
    slots.emplace_back();
  }
  Slot &slot = slots[index];
  slot.kind = kind;
  void *handle = reinterpret_cast<void *>(Encode(kind, index, slot.generation));
  obj->handle = handle;
  slot.obj = std::move(obj);
  return handle;
}

Object *Lookup(const void *handle, Kind kind) {
  Slot *slot = Decode(handle);
  return slot && slot->kind == kind ? slot->obj.get() : nullptr;
}

Kind KindOf(const void *handle) {
  Slot *slot = Decode(handle);
  return slot ? slot->kind : Kind::None;
}

bool FreeHandle(const void *handle) {
  Slot *slot = Decode(handle);
  if (!slot) return false;
  // Take the object out first: its destructor may free other handles.
  std::unique_ptr<Object> obj = std::move(slot->obj);
  slot->kind = Kind::None;
  slot->generation = slot->generation % ((1u << kGenerationBits) - 1) + 1;
  FreeSlots().push_back(uint32_t(slot - Slots().data()));
  obj.reset();
  return true;
}

std::vector<void *> HandlesOf(Kind kind) {
  std::vector<void *> out;
  auto &slots = Slots();
  for (size_t i = 1; i < slots.size(); ++i) {
    if (slots[i].kind == kind && slots[i].obj) out.push_back(slots[i].obj->handle);
  }
  return out;
}

void ResetHandles() {
  // Free in reverse order of creation so that owners go after what they own.
  auto &slots = Slots();
  for (size_t i = slots.size(); i-- > 1;) {
    if (slots[i].obj) FreeHandle(slots[i].obj->handle);
  }
  slots.resize(1);
  FreeSlots().clear();
}

}  // namespace zp
