// Binding to the phone firmware's numbered services. Every call below is an ARM stub of two
// instructions (`swi #number`, `bx lr`) in firmware.S; the numbers live in
// firmware_services.inc, the one table both files are made from.
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

extern "C" {

// memory
void* fw_alloc(uint32_t bytes);
void fw_free(void* block);
FwFreeRoutine fw_free_address();  // value form: the routine behind fw_free
int32_t fw_free_ram();            // free RAM in bytes; a signed count
void fw_zero(void* dest, uint32_t bytes);
void fw_memcpy(void* dest, const void* src, uint32_t bytes);

// date, time, timers
void fw_get_date_time(FwDate* date, FwTime* time);  // time may be 0
int fw_day_of_week(const FwDate* date);             // 0 Monday .. 6 Sunday
void fw_start_timer(FwTimer* timer, uint32_t ticks, FwTimerCallback callback);
void fw_stop_timer(FwTimer* timer);

// processes
int fw_create_process(const CsmDescriptor* descriptor, void* scratch, int zero);
ProcessRoot* fw_process_root();  // value form: the process-root record
int fw_current_process(int which);
void fw_lock_sched();
void fw_unlock_sched();
void fw_run_later(FwRoutine routine);

// 8-bit texts and wide strings
char* fw_strncpy(char* dest, const char* src, int count);
char* fw_strrchr(const char* text, int ch);
char* fw_strstr(const char* text, const char* key);
int fw_wsprintf(WideString* dest, const char* format, ...);
WideString* fw_alloc_ws(int capacity);
void fw_free_ws(WideString* ws);
int fw_str_to_ws(WideString* dest, const char* text, int max_count);

// files; every one takes the address of an error word last
int fw_open(const char* path, uint32_t flags, uint32_t mode, uint32_t* error);
int fw_read(int handle, void* buffer, int bytes, uint32_t* error);
int fw_write(int handle, const void* buffer, int bytes, uint32_t* error);
int fw_close(int handle, uint32_t* error);
int fw_file_stat(const char* path, FileStat* stat, uint32_t* error);

// profiles, lights, vibration, sound
int fw_set_light(int channel, int one, uint32_t level, int zero);
int fw_alarm_clock_ring(int zero);
int fw_play_file(int kind, const WideString* folder, const WideString* file, int zero,
                 int process, int flags, const PlayOptions* options);
LightSettings* fw_light_settings();
int fw_postpone_check();
FwRoutine fw_shortcut_function(const char* name);
int fw_set_vibration(uint32_t power);
int fw_get_profile();
int fw_set_profile(int profile);
int fw_stop_playback(int handle);

// GUI and drawing
int fw_draw_object(DrawingObject* object);
const void* fw_palette_color(int index);
void fw_rect_from_xywh(ScreenRect* rect, int x, int y, int width, int height);
int fw_create_gui(GuiRecord* gui);
void fw_object_colors(DrawingObject* object, const void* color_a, const void* color_b);
int fw_draw_string(const WideString* text, int x1, int y1, int x2, int y2, int font,
                   int attribute, const void* pen, const void* brush);
int fw_draw_rect(int x1, int y1, int x2, int y2, int a, int b, int c, const void* pen,
                 const void* brush);
void fw_image_object(DrawingObject* object, const ScreenRect* rect, int zero,
                     const PictureHeader* picture);
void fw_focus_hook();
int fw_screen_width();   // value form: a plain value
int fw_screen_height();  // value form: a plain value

}  // extern "C"
