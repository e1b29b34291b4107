// Where things live in the simulated phone's 32-bit address space. The first 64 KiB stay
// unmapped so that a null pointer in an applet faults instead of reading garbage.
#pragma once

#include <cstdint>

namespace phonesim::layout {

constexpr uint32_t kPageSize = 1024;  // unicorn's page size for ARM; protection works per page

constexpr uint32_t kHeapBase = 0x00100000;
constexpr uint32_t kDefaultHeapSize = 2 * 1024 * 1024;
constexpr uint32_t kMaxHeapSize = 64 * 1024 * 1024;

// Guest stack; the pages around it stay unmapped to catch overflows.
constexpr uint32_t kStackBase = 0x08000000;
constexpr uint32_t kStackSize = 0x10000;
constexpr uint32_t kStackTop = kStackBase + kStackSize;

// Firmware records the applets reach by address (process root, queue, message records).
constexpr uint32_t kFwDataBase = 0x0A000000;
constexpr uint32_t kFwDataSize = 0x10000;

// Firmware code: the return trap of host-to-guest calls and one stub per service routine
// ("svc #n; bx lr"), whose addresses the value form hands out.
constexpr uint32_t kFwCodeBase = 0x0F000000;
constexpr uint32_t kFwCodeSize = 0x10000;
constexpr uint32_t kReturnTrap = kFwCodeBase;
constexpr uint32_t kStubBase = kFwCodeBase + 0x100;
constexpr uint32_t kMaxServiceNumber = 0x7FFF;
constexpr uint32_t kStubCount = (kFwCodeSize - 0x100) / 8;

constexpr uint32_t stub_address(uint32_t number) { return kStubBase + 8 * number; }
constexpr bool in_fw_code(uint32_t a) { return a >= kFwCodeBase && a < kFwCodeBase + kFwCodeSize; }

// Fixed places inside the firmware data page.
constexpr uint32_t kProcessRoot = kFwDataBase + 0x100;     // word 8 -> queue record
constexpr uint32_t kProcessQueue = kFwDataBase + 0x140;    // word 4 current, word 8 first
constexpr uint32_t kIdleProcess = kFwDataBase + 0x200;     // the queue's first process
constexpr uint32_t kLauncherProcess = kFwDataBase + 0x240; // runs the loader and `main`
constexpr uint32_t kMessageRecords = kFwDataBase + 0x1000; // one 16-byte FwMessage per depth
constexpr uint32_t kMaxMessageDepth = 64;

}  // namespace phonesim::layout
