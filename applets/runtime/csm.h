// The process skeleton every applet is built on: the records the firmware exchanges with an
// applet's process, the image start marker, the two branch routines, the self-unload
// routine, the close convention and the two ways of creating the applet's process.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "firmware.h"

static_assert(sizeof(void*) == 4, "these records are the firmware's 32-bit layouts");

// A firmware wide string: the header names a body of 16-bit character units.
struct WideString {
  uint16_t* body;
  uint32_t marker1;
  uint32_t marker2;
  uint32_t flags;
  uint16_t max_length;
  uint16_t reserved;
};
static_assert(offsetof(WideString, body) == 0);
static_assert(offsetof(WideString, marker1) == 4);
static_assert(offsetof(WideString, marker2) == 8);
static_assert(offsetof(WideString, flags) == 12);
static_assert(offsetof(WideString, max_length) == 16);
static_assert(offsetof(WideString, reserved) == 18);
static_assert(sizeof(WideString) == 20);

// The per-process record the firmware allocates; the first 40 bytes are the firmware's.
// An applet that declares a larger record size puts its own fields after this one.
struct CsmRecord {
  uint32_t firmware0[4];
  int32_t state;  // a handler stores kCsmStateEnd here to end the process
  uint32_t firmware_word;
  uint32_t firmware1[4];
};
static_assert(offsetof(CsmRecord, state) == 16);
static_assert(offsetof(CsmRecord, firmware_word) == 20);
static_assert(sizeof(CsmRecord) == 40);
constexpr int32_t kCsmStateEnd = -3;

// A message handed to a message handler; read only.
struct FwMessage {
  uint16_t firmware0;
  int16_t code;
  uint32_t param;
  uint32_t data;
};
static_assert(offsetof(FwMessage, code) == 2);
static_assert(offsetof(FwMessage, param) == 4);
static_assert(offsetof(FwMessage, data) == 8);
static_assert(sizeof(FwMessage) == 12);

using CsmMessageHandler = int (*)(CsmRecord*, const FwMessage*);
using CsmCreateHandler = void (*)(CsmRecord*);
using CsmCloseHandler = void (*)(CsmRecord*);

// The constant process descriptor.
struct CsmDescriptor {
  CsmMessageHandler onmessage;
  CsmCreateHandler oncreate;
  CsmCloseHandler onclose;
  uint32_t record_size;
  uint32_t state_count;
  const int32_t* state_table;
};
static_assert(offsetof(CsmDescriptor, onmessage) == 0);
static_assert(offsetof(CsmDescriptor, oncreate) == 4);
static_assert(offsetof(CsmDescriptor, onclose) == 8);
static_assert(offsetof(CsmDescriptor, record_size) == 12);
static_assert(offsetof(CsmDescriptor, state_count) == 16);
static_assert(offsetof(CsmDescriptor, state_table) == 20);
static_assert(sizeof(CsmDescriptor) == 24);

// The type of MAINCSM: the descriptor followed directly by the display-name header, which
// a task list reads to show the process.
struct MainCsm {
  CsmDescriptor desc;
  WideString name;
};
static_assert(offsetof(MainCsm, desc) == 0);
static_assert(offsetof(MainCsm, name) == 24);
static_assert(sizeof(MainCsm) == 44);

// Firmware timer record; its content is the firmware's. Zero before the first start.
struct FwTimer {
  uint32_t firmware[4];
};
static_assert(sizeof(FwTimer) == 16);

// Filled by fw_get_date_time; the firmware may write all 8 bytes of each.
struct FwDate {
  uint32_t year;
  uint8_t month;
  uint8_t day;
  uint8_t firmware[2];
};
static_assert(offsetof(FwDate, year) == 0);
static_assert(offsetof(FwDate, month) == 4);
static_assert(offsetof(FwDate, day) == 5);
static_assert(sizeof(FwDate) == 8);

struct FwTime {
  uint8_t hour;
  uint8_t minute;
  uint8_t firmware[6];
};
static_assert(offsetof(FwTime, hour) == 0);
static_assert(offsetof(FwTime, minute) == 1);
static_assert(sizeof(FwTime) == 8);

// The firmware's process queue, reached from the process-root record.
struct ProcessQueue {
  uint32_t firmware0;
  void* current;
  void* first;
};
static_assert(offsetof(ProcessQueue, current) == 4);
static_assert(offsetof(ProcessQueue, first) == 8);

struct ProcessRoot {
  uint32_t firmware0[2];
  ProcessQueue* queue;
};
static_assert(offsetof(ProcessRoot, queue) == 8);

constexpr uint32_t kNameBodyUnits = 140;
constexpr uint16_t kNameMaxLength = 139;
constexpr uint32_t kNameMarker1 = 0x55AACCCC;
constexpr uint32_t kNameMarker2 = 0x3333AA55;

extern "C" {

// Label on the first byte of the image. After relocation it is the address of the block the
// loader allocated, so freeing it unloads the applet.
extern char ELF_BEGIN[];

// Continue in `routine` with `address` as its first argument, by a plain branch: the routine
// returns straight to whoever called kill_data.
void kill_data(void* address, FwFreeRoutine routine);
// The same for three arguments, passed on unchanged.
void seqkill(uint32_t a, uint32_t b, uint32_t c, void (*routine)(uint32_t, uint32_t, uint32_t));

// Shared by every applet's descriptor and display name.
extern const int32_t minus11[1];
extern uint16_t maincsm_name_body[kNameBodyUnits];
extern FwTimer mytmr;

}  // extern "C"

// MAINCSM's value: handlers and record size per applet, everything else shared.
constexpr MainCsm make_main_csm(CsmMessageHandler onmessage, CsmCreateHandler oncreate,
                                CsmCloseHandler onclose, uint32_t record_size) {
  return MainCsm{
      {onmessage, oncreate, onclose, record_size, 1, minus11},
      {maincsm_name_body, kNameMarker1, kNameMarker2, 0, kNameMaxLength, 0},
  };
}

// The display-name header lies in the read-only part of the image and never changes; the
// firmware's wide-string services write only the body it names.
inline WideString* csm_name(const MainCsm& csm) { return const_cast<WideString*>(&csm.name); }

// Defines the self-unload routine `name`, to be handed to fw_run_later. It frees the block
// that holds the image, this routine included, so it must not return into the image: it
// restores its own return address and branches to kill_data, which branches to the free
// routine, which returns to the firmware. Written as a naked routine because a C++ tail call
// is only a hope of the optimiser, not a promise.
// A naked routine holds plain assembly only, so the service number is written out there.
static_assert(fw_free_address_number == 0x8015);
#define CSM_SELF_UNLOAD_ROUTINE(name)                                            \
  [[gnu::naked, gnu::noinline, gnu::used]] static void name() asm(#name);        \
  static void name() {                                                           \
    asm volatile("push    {r4, lr}\n\t"    /* a SWI may change lr; r4 keeps */   \
                 "swi     0x8015\n\t"      /* the stack 8-byte aligned */        \
                 "mov     r1, r0\n\t"      /* fw_free_address */                 \
                 "ldr     r0, 1f\n\t"                                            \
                 "pop     {r4, lr}\n\t"                                          \
                 "b       kill_data\n"                                           \
                 "1:\n\t"                                                        \
                 ".word   ELF_BEGIN");                                           \
  }

// The close convention, for every close handler: stop mytmr, undo what the applet changed,
// and, last, hand the self-unload routine to the firmware to run once the handler has
// returned. A close handler never frees the image itself.
template <typename Restore>
inline void csm_close(FwRoutine self_unload, Restore restore) {
  fw_stop_timer(&mytmr);
  restore();
  fw_run_later(self_unload);
}
inline void csm_close(FwRoutine self_unload) {
  csm_close(self_unload, [] {});
}

// Plain creation: the name is written and the process created under the scheduler lock.
// The scratch area has the record's size and is left unset; the firmware's id is not kept.
template <uint32_t RecordSize, typename WriteName>
inline void create_process_plain(const MainCsm& csm, WriteName write_name) {
  alignas(4) unsigned char scratch[RecordSize];
  fw_lock_sched();
  write_name();
  fw_create_process(&csm.desc, scratch, 0);
  fw_unlock_sched();
}

// Root-level creation: the process is created while the queue's first process stands as the
// current one, and the current-process word is put back before the lock is released, so no
// other process ever sees the swapped value. The records are fetched anew at every step
// because the firmware may move them while it creates the process.
template <uint32_t RecordSize>
inline void create_process_at_root(const MainCsm& csm) {
  alignas(4) unsigned char scratch[RecordSize];
  fw_lock_sched();
  void* const saved = fw_process_root()->queue->current;
  ProcessQueue* queue = fw_process_root()->queue;
  queue->current = queue->first;
  fw_create_process(&csm.desc, scratch, 0);
  fw_process_root()->queue->current = saved;
  fw_unlock_sched();
}
