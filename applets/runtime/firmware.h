// Binding to the phone firmware's numbered services. A service is reached by the ARM SWI
// instruction with the service number in its immediate; the numbers live in
// firmware_services.inc. Services of up to four arguments are issued inline, right at the
// call, so an image carries no stub for them; the four that pass arguments on the stack
// (fw_wsprintf and those of more than four arguments) go through the stubs of firmware.S.
#pragma once

#include <stdint.h>

struct FwDate;
struct FwTime;
struct FwTimer;
struct WideString;
struct CsmDescriptor;
struct ProcessRoot;
// Records that only the alarm applet exchanges with the firmware; it defines them.
struct LightSettings;
struct PlayOptions;
struct FileStat;
struct GuiRecord;
struct ScreenRect;
struct PictureHeader;
struct DrawingObject;

// The service numbers, for code that must name one (the value form of a call-form service
// is its number with bit 15 set).
enum FwServiceNumber : uint32_t {
#define FW_SERVICE(name, number) name##_number = number,
#include "firmware_services.inc"
#undef FW_SERVICE
};
constexpr uint32_t fw_value_form(uint32_t number) { return number | 0x8000u; }
static_assert(fw_free_address_number == fw_value_form(fw_free_number));

using FwRoutine = void (*)();
using FwTimerCallback = void (*)(FwTimer*);
using FwFreeRoutine = void (*)(void*);

namespace fw_swi {

// A service behaves like an ordinary procedure call: r0-r3 carry the arguments, r0 the
// result, and r1-r3, r12, lr and the flags may come back changed (lr too, because a SWI
// issued in supervisor mode overwrites it). The firmware may read or write any memory the
// arguments lead to, hence the memory clobber.
#define FW_SWI_CLOBBERS "r12", "lr", "cc", "memory"

template <uint32_t N>
[[gnu::always_inline]] inline uint32_t call() {
  register uint32_t r0 asm("r0");
  asm volatile("swi %[n]" : "=r"(r0) : [n] "i"(N) : "r1", "r2", "r3", FW_SWI_CLOBBERS);
  return r0;
}

template <uint32_t N>
[[gnu::always_inline]] inline uint32_t call(uint32_t a0) {
  register uint32_t r0 asm("r0") = a0;
  asm volatile("swi %[n]" : "+r"(r0) : [n] "i"(N) : "r1", "r2", "r3", FW_SWI_CLOBBERS);
  return r0;
}

template <uint32_t N>
[[gnu::always_inline]] inline uint32_t call(uint32_t a0, uint32_t a1) {
  register uint32_t r0 asm("r0") = a0;
  register uint32_t r1 asm("r1") = a1;
  asm volatile("swi %[n]" : "+r"(r0), "+r"(r1) : [n] "i"(N) : "r2", "r3", FW_SWI_CLOBBERS);
  return r0;
}

template <uint32_t N>
[[gnu::always_inline]] inline uint32_t call(uint32_t a0, uint32_t a1, uint32_t a2) {
  register uint32_t r0 asm("r0") = a0;
  register uint32_t r1 asm("r1") = a1;
  register uint32_t r2 asm("r2") = a2;
  asm volatile("swi %[n]" : "+r"(r0), "+r"(r1), "+r"(r2) : [n] "i"(N) : "r3", FW_SWI_CLOBBERS);
  return r0;
}

template <uint32_t N>
[[gnu::always_inline]] inline uint32_t call(uint32_t a0, uint32_t a1, uint32_t a2, uint32_t a3) {
  register uint32_t r0 asm("r0") = a0;
  register uint32_t r1 asm("r1") = a1;
  register uint32_t r2 asm("r2") = a2;
  register uint32_t r3 asm("r3") = a3;
  asm volatile("swi %[n]" : "+r"(r0), "+r"(r1), "+r"(r2), "+r"(r3) : [n] "i"(N) : FW_SWI_CLOBBERS);
  return r0;
}

#undef FW_SWI_CLOBBERS

// Arguments and results are 32-bit words, and so are addresses on the phone: the
// conversion is a reinterpretation for pointers and a plain conversion for integers, which is
// exactly what the C cast does for either.
template <typename T>
[[gnu::always_inline]] inline uint32_t word(T value) {
  static_assert(sizeof(T) <= sizeof(uint32_t));
  return (uint32_t)value;
}
template <typename T>
[[gnu::always_inline]] inline T as(uint32_t value) {
  static_assert(sizeof(T) <= sizeof(uint32_t));
  return (T)value;
}

}  // namespace fw_swi

// One line per inline service: name, result type, service number, parameters, arguments.
#define FW_INLINE(result, name, params, ...)                                      \
  [[gnu::always_inline]] inline result name params {                             \
    return fw_swi::as<result>(fw_swi::call<name##_number>(__VA_ARGS__));          \
  }
#define FW_INLINE_VOID(name, params, ...)                                         \
  [[gnu::always_inline]] inline void name params {                               \
    fw_swi::call<name##_number>(__VA_ARGS__);                                     \
  }
#define W(x) fw_swi::word(x)

// memory
FW_INLINE(void*, fw_alloc, (uint32_t bytes), bytes)
FW_INLINE_VOID(fw_free, (void* block), W(block))
FW_INLINE(FwFreeRoutine, fw_free_address, ())  // value form: the routine behind fw_free
FW_INLINE(int32_t, fw_free_ram, ())            // free RAM in bytes; a signed count
FW_INLINE_VOID(fw_zero, (void* dest, uint32_t bytes), W(dest), bytes)
FW_INLINE_VOID(fw_memcpy, (void* dest, const void* src, uint32_t bytes), W(dest), W(src), bytes)

// date, time, timers
FW_INLINE_VOID(fw_get_date_time, (FwDate* date, FwTime* time), W(date), W(time))  // time may be 0
FW_INLINE(int, fw_day_of_week, (const FwDate* date), W(date))  // 0 Monday .. 6 Sunday
FW_INLINE_VOID(fw_start_timer, (FwTimer* timer, uint32_t ticks, FwTimerCallback callback),
               W(timer), ticks, W(callback))
FW_INLINE_VOID(fw_stop_timer, (FwTimer* timer), W(timer))

// processes
FW_INLINE(int, fw_create_process, (const CsmDescriptor* descriptor, void* scratch, int zero),
          W(descriptor), W(scratch), W(zero))
FW_INLINE(ProcessRoot*, fw_process_root, ())  // value form: the process-root record
FW_INLINE(int, fw_current_process, (int which), W(which))
FW_INLINE_VOID(fw_lock_sched, ())
FW_INLINE_VOID(fw_unlock_sched, ())
FW_INLINE_VOID(fw_run_later, (FwRoutine routine), W(routine))

// 8-bit texts and wide strings
FW_INLINE(char*, fw_strncpy, (char* dest, const char* src, int count), W(dest), W(src), W(count))
FW_INLINE(char*, fw_strrchr, (const char* text, int ch), W(text), W(ch))
FW_INLINE(char*, fw_strstr, (const char* text, const char* key), W(text), W(key))
FW_INLINE(WideString*, fw_alloc_ws, (int capacity), W(capacity))
FW_INLINE_VOID(fw_free_ws, (WideString* ws), W(ws))
FW_INLINE(int, fw_str_to_ws, (WideString* dest, const char* text, int max_count),
          W(dest), W(text), W(max_count))

// files; every one takes the address of an error word last
FW_INLINE(int, fw_open, (const char* path, uint32_t flags, uint32_t mode, uint32_t* error),
          W(path), flags, mode, W(error))
FW_INLINE(int, fw_read, (int handle, void* buffer, int bytes, uint32_t* error),
          W(handle), W(buffer), W(bytes), W(error))
FW_INLINE(int, fw_write, (int handle, const void* buffer, int bytes, uint32_t* error),
          W(handle), W(buffer), W(bytes), W(error))
FW_INLINE(int, fw_close, (int handle, uint32_t* error), W(handle), W(error))
FW_INLINE(int, fw_file_stat, (const char* path, FileStat* stat, uint32_t* error),
          W(path), W(stat), W(error))

// profiles, lights, vibration, sound
FW_INLINE(int, fw_set_light, (int channel, int one, uint32_t level, int zero),
          W(channel), W(one), level, W(zero))
FW_INLINE(int, fw_alarm_clock_ring, (int zero), W(zero))
FW_INLINE(LightSettings*, fw_light_settings, ())
FW_INLINE(int, fw_postpone_check, ())
FW_INLINE(FwRoutine, fw_shortcut_function, (const char* name), W(name))
FW_INLINE(int, fw_set_vibration, (uint32_t power), power)
FW_INLINE(int, fw_get_profile, ())
FW_INLINE(int, fw_set_profile, (int profile), W(profile))
FW_INLINE(int, fw_stop_playback, (int handle), W(handle))

// GUI and drawing
FW_INLINE(int, fw_draw_object, (DrawingObject* object), W(object))
FW_INLINE(const void*, fw_palette_color, (int index), W(index))
FW_INLINE(int, fw_create_gui, (GuiRecord* gui), W(gui))
FW_INLINE_VOID(fw_object_colors, (DrawingObject* object, const void* color_a, const void* color_b),
               W(object), W(color_a), W(color_b))
FW_INLINE_VOID(fw_image_object,
               (DrawingObject* object, const ScreenRect* rect, int zero, const PictureHeader* picture),
               W(object), W(rect), W(zero), W(picture))
FW_INLINE_VOID(fw_focus_hook, ())
FW_INLINE(int, fw_screen_width, ())   // value form: a plain value
FW_INLINE(int, fw_screen_height, ())  // value form: a plain value

#undef W
#undef FW_INLINE
#undef FW_INLINE_VOID

// The services whose arguments reach the stack: stubs in firmware.S.
extern "C" {
int fw_wsprintf(WideString* dest, const char* format, ...);
int fw_play_file(int kind, const WideString* folder, const WideString* file, int zero,
                 int process, int flags, const PlayOptions* options);
int fw_draw_string(const WideString* text, int x1, int y1, int x2, int y2, int font,
                   int attribute, const void* pen, const void* brush);
void fw_rect_from_xywh(ScreenRect* rect, int x, int y, int width, int height);
int fw_draw_rect(int x1, int y1, int x2, int y2, int a, int b, int c, const void* pen,
                 const void* brush);
}  // extern "C"
