// The simulated heap: a first-fit allocator over one guest address range, with a ledger of
// live blocks. The ledger is what tells an applet author about leaks, double frees and frees of
// addresses the heap never handed out. It only keeps the books; the guest bytes live in the CPU.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "result.h"

namespace phonesim {

enum class BlockKind {
  Data,   // fw_alloc blocks and firmware records
  Image,  // an applet image; page-aligned so that its release can revoke every access to it
};

struct HeapBlock {
  uint32_t address = 0;
  uint32_t size = 0;      // as asked for
  uint32_t reserved = 0;  // as taken from the heap (rounded up)
  BlockKind kind = BlockKind::Data;
  std::string owner;      // who asked, for reports: "nimbrel_clock.elf (fw_alloc)", "process 1"
  int image = -1;         // the image that asked for it, or -1 for the firmware
  uint64_t serial = 0;    // allocation order; Heap::mark() compares against it
};

class Heap {
 public:
  Heap(uint32_t base, uint32_t size);

  // Returns 0 when no free range is large enough (as the phone's allocator does).
  uint32_t alloc(uint32_t size, std::string owner, int image = -1, BlockKind kind = BlockKind::Data);

  // Releases a live block and returns its ledger entry. Freeing an address that is not the
  // start of a live block is an error naming what the address is (double free, interior
  // address, never allocated). Image blocks are quarantined: their range is never handed out
  // again, so that a stale pointer into a released image keeps faulting.
  Result<HeapBlock> free(uint32_t address);

  const HeapBlock* find_live(uint32_t address) const;        // block starting at address
  const HeapBlock* containing(uint32_t address) const;       // live block holding address
  const HeapBlock* quarantined_containing(uint32_t address) const;
  // A released image block sharing any byte with [address, address + n).
  const HeapBlock* quarantined_overlapping(uint32_t address, uint32_t n) const;

  std::vector<HeapBlock> live() const;
  // A mark is a point in the allocation order; live_since(mark) are the blocks allocated after
  // it that are still live, which is exactly what a run between the two points leaked.
  uint64_t mark() const { return next_serial_; }
  std::vector<HeapBlock> live_since(uint64_t mark) const;
  std::vector<HeapBlock> live_owned_by(int image) const;

  uint32_t base() const { return base_; }
  uint32_t size() const { return size_; }
  uint32_t free_bytes() const { return free_bytes_; }
  uint32_t live_bytes() const;

 private:
  uint32_t base_;
  uint32_t size_;
  uint32_t free_bytes_;
  uint64_t next_serial_ = 1;
  std::map<uint32_t, uint32_t> free_ranges_;  // address -> length, coalesced
  std::map<uint32_t, HeapBlock> live_;
  std::map<uint32_t, HeapBlock> freed_;       // last block released at each address
  std::map<uint32_t, HeapBlock> quarantine_;

  void give_back(uint32_t address, uint32_t length);
};

std::string describe_block(const HeapBlock& b);

}  // namespace phonesim
