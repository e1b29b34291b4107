#include "heap.h"

#include <cstdio>

#include "memory_map.h"

namespace phonesim {

namespace {

constexpr uint32_t kAlign = 8;

uint64_t round_up(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

}  // namespace

std::string describe_block(const HeapBlock& b) {
  return hex(b.address) + " (" + std::to_string(b.size) + " bytes, " + b.owner + ")";
}

Heap::Heap(uint32_t base, uint32_t size) : base_(base), size_(size), free_bytes_(size) {
  if (size) free_ranges_[base] = size;
}

uint32_t Heap::alloc(uint32_t size, std::string owner, int image, BlockKind kind) {
  const uint64_t align = kind == BlockKind::Image ? layout::kPageSize : kAlign;
  const uint64_t need = round_up(size ? size : 1, align);
  if (need > free_bytes_) return 0;
  for (auto it = free_ranges_.begin(); it != free_ranges_.end(); ++it) {
    const uint64_t start = round_up(it->first, align);
    const uint64_t end = uint64_t(it->first) + it->second;
    if (start + need > end) continue;
    const uint32_t range_start = it->first;
    free_ranges_.erase(it);
    if (start > range_start) free_ranges_[range_start] = uint32_t(start - range_start);
    if (start + need < end) free_ranges_[uint32_t(start + need)] = uint32_t(end - start - need);
    free_bytes_ -= uint32_t(need);

    HeapBlock b;
    b.address = uint32_t(start);
    b.size = size;
    b.reserved = uint32_t(need);
    b.kind = kind;
    b.owner = std::move(owner);
    b.image = image;
    b.serial = next_serial_++;
    freed_.erase(b.address);
    live_[b.address] = b;
    return b.address;
  }
  return 0;
}

void Heap::give_back(uint32_t address, uint32_t length) {
  auto next = free_ranges_.lower_bound(address);
  if (next != free_ranges_.end() && address + length == next->first) {
    length += next->second;
    next = free_ranges_.erase(next);
  }
  if (next != free_ranges_.begin()) {
    auto prev = std::prev(next);
    if (prev->first + prev->second == address) {
      prev->second += length;
      return;
    }
  }
  free_ranges_[address] = length;
}

Result<HeapBlock> Heap::free(uint32_t address) {
  auto it = live_.find(address);
  if (it == live_.end()) {
    if (auto f = freed_.find(address); f != freed_.end())
      return Error{"double free of " + describe_block(f->second)};
    if (auto q = quarantine_.find(address); q != quarantine_.end())
      return Error{"double free of " + describe_block(q->second)};
    if (const HeapBlock* in = containing(address))
      return Error{"free of " + hex(address) + ", which lies inside block " + describe_block(*in)};
    return Error{"free of " + hex(address) + ", which the heap never handed out"};
  }
  HeapBlock b = it->second;
  live_.erase(it);
  if (b.kind == BlockKind::Image) {
    quarantine_[b.address] = b;
  } else {
    freed_[b.address] = b;
    free_bytes_ += b.reserved;
    give_back(b.address, b.reserved);
  }
  return b;
}

const HeapBlock* Heap::find_live(uint32_t address) const {
  auto it = live_.find(address);
  return it == live_.end() ? nullptr : &it->second;
}

static const HeapBlock* holding(const std::map<uint32_t, HeapBlock>& m, uint32_t address) {
  auto it = m.upper_bound(address);
  if (it == m.begin()) return nullptr;
  --it;
  const HeapBlock& b = it->second;
  return address - b.address < b.reserved ? &b : nullptr;
}

const HeapBlock* Heap::containing(uint32_t address) const { return holding(live_, address); }

const HeapBlock* Heap::quarantined_containing(uint32_t address) const {
  return holding(quarantine_, address);
}

const HeapBlock* Heap::quarantined_overlapping(uint32_t address, uint32_t n) const {
  if (n == 0) return nullptr;
  if (const HeapBlock* b = holding(quarantine_, address)) return b;
  // Otherwise only a block that starts inside the range can overlap it.
  auto it = quarantine_.upper_bound(address);
  if (it != quarantine_.end() && it->first - address < n) return &it->second;
  return nullptr;
}

std::vector<HeapBlock> Heap::live() const {
  std::vector<HeapBlock> out;
  for (const auto& [a, b] : live_) out.push_back(b);
  return out;
}

std::vector<HeapBlock> Heap::live_since(uint64_t mark) const {
  std::vector<HeapBlock> out;
  for (const auto& [a, b] : live_)
    if (b.serial >= mark) out.push_back(b);
  return out;
}

std::vector<HeapBlock> Heap::live_owned_by(int image) const {
  std::vector<HeapBlock> out;
  for (const auto& [a, b] : live_)
    if (b.image == image && b.kind != BlockKind::Image) out.push_back(b);
  return out;
}

uint32_t Heap::live_bytes() const {
  uint32_t n = 0;
  for (const auto& [a, b] : live_) n += b.size;
  return n;
}

}  // namespace phonesim
