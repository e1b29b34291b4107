@ Guest code for the simulator's tests: small ARM routines that exercise the firmware services,
@ and a miniature applet (descriptor, handlers, root-level creation, self-unload).
@
@ Linked at address 0 by guest.ld. Words that hold addresses are written with ABS, which also
@ lists their offsets in .address_words; the tests turn that list into the image's relocation table.
@ The header at offset 0 gives the tests the table bounds and, from offset 16, the offsets of the
@ symbols named in guest_symbols.h, in the same order.

  .syntax unified
  .arm

  .macro ABS sym
.Labs\@: .word \sym
  .pushsection .address_words, "a"
  .word .Labs\@
  .popsection
  .endm

  .text
_start:
  .word __words_start, __words_end, __bss_end, 0
symbols:
  .word main_nothing, applet_main, sum6, stub_wsprintf, timer_cb, start_timer, stop_timer
  .word lock_twice, unlock_alone, lock_and_return, lock_pair, lock_unlock_in_handler
  .word write_null, unknown_service, spin, undefined_insn, thumb_swi + 1, format_five
  .word descriptor, timer_hits, timer_restart, msg_count, close_mode, mytmr, created_record
  .word seen_current, stub_alloc, stub_free, name_body

main_nothing:
  mov r0, #0
  bx lr

@ a + 2b + 3c + 4d + 5e + 6f: the fifth and sixth arguments come on the stack.
sum6:
  ldr r12, [sp]
  add r0, r0, r1, lsl #1
  add r2, r2, r2, lsl #1
  add r0, r0, r2
  add r0, r0, r3, lsl #2
  add r12, r12, r12, lsl #2
  add r0, r0, r12
  ldr r12, [sp, #4]
  add r12, r12, r12, lsl #1
  add r0, r0, r12, lsl #1
  bx lr

stub_wsprintf:
  svc #0x124
  bx lr
stub_alloc:
  svc #0x14
  bx lr
stub_free:
  svc #0x15
  bx lr

@ format_five(ws): fw_wsprintf(ws, "%d %d %d %d %d", 1, 2, 3, 4, 5) with three values on the stack.
format_five:
  push {r4, lr}
  sub sp, sp, #16
  mov r2, #3
  str r2, [sp]
  mov r2, #4
  str r2, [sp, #4]
  mov r2, #5
  str r2, [sp, #8]
  adr r1, fmt_five
  mov r2, #1
  mov r3, #2
  svc #0x124
  add sp, sp, #16
  pop {r4, pc}
fmt_five: .asciz "%d %d %d %d %d"
  .balign 4

@ Timer callback: counts its calls; restarts itself when timer_restart holds a delay.
timer_cb:
  push {r4, lr}
  ldr r1, p_timer_hits
  ldr r2, [r1]
  add r2, r2, #1
  str r2, [r1]
  ldr r1, p_timer_restart
  ldr r1, [r1]
  cmp r1, #0
  beq 1f
  adr r2, timer_cb
  svc #0x4D
1:
  pop {r4, pc}

start_timer:          @ (record, delay)
  adr r2, timer_cb
  svc #0x4D
  bx lr
stop_timer:           @ (record)
  svc #0x18C
  bx lr

lock_twice:
  push {r4, lr}
  svc #0x146
  svc #0x146
  svc #0x147
  pop {r4, pc}
unlock_alone:
  svc #0x147
  bx lr
lock_and_return:
  svc #0x146
  bx lr
lock_pair:
  svc #0x146
  svc #0x147
  mov r0, #0
  bx lr
@ Locks, then creates a process whose create handler unlocks: the pair spans two handlers.
lock_unlock_in_handler:
  push {r4, lr}
  sub sp, sp, #40
  svc #0x146
  ldr r0, p_unlocker
  mov r1, sp
  mov r2, #0
  svc #0x107
  svc #0x147
  add sp, sp, #40
  pop {r4, pc}

write_null:
  mov r0, #0
  str r0, [r0]
  bx lr
unknown_service:
  svc #0x7777
  bx lr
spin:
  b spin
undefined_insn:
  .word 0xE7F000F0
  .thumb
thumb_swi:
  svc #0x14
  bx lr
  .arm
  .balign 4

@ ---- the miniature applet ----

applet_main:
  push {r4, lr}
  sub sp, sp, #40                 @ scratch area of the record's size, left unset
  bl refresh_name
  svc #0x146
  svc #0x8106
  ldr r1, [r0, #8]
  ldr r4, [r1, #4]                @ save the current-process word
  svc #0x8106
  ldr r1, [r0, #8]
  ldr r2, [r1, #8]
  str r2, [r1, #4]                @ the first process stands as current
  ldr r0, p_descriptor
  mov r1, sp
  mov r2, #0
  svc #0x107
  svc #0x8106
  ldr r1, [r0, #8]
  str r4, [r1, #4]
  svc #0x147
  mov r0, #0
  add sp, sp, #40
  pop {r4, pc}

refresh_name:                     @ name = "<Cyrillic text> <msg_count>"
  push {r4, lr}
  ldr r0, p_name_header
  adr r1, fmt_name
  adr r2, text_1251
  ldr r3, p_msg_count
  ldr r3, [r3]
  svc #0x124
  pop {r4, pc}
fmt_name: .asciz "%t %d"
text_1251: .byte 0xD2, 0xE5, 0xF1, 0xF2, 0    @ "Тест"
  .balign 4

@ Messages: 1009/1 renames; 77 ends the process; 78 leaks a block; 79 starts mytmr.
on_message:
  push {r4, r5, r6, lr}
  mov r4, r0
  mov r5, r1
  ldr r2, p_msg_count
  ldr r3, [r2]
  add r3, r3, #1
  str r3, [r2]
  ldrsh r6, [r5, #2]
  ldr r3, [r5, #4]
  ldr r12, =1009
  cmp r6, r12
  bne 1f
  cmp r3, #1
  bleq refresh_name
1:
  cmp r6, #77
  mvneq r0, #2
  streq r0, [r4, #16]
  cmp r6, #78
  bne 2f
  mov r0, #24
  svc #0x14
2:
  cmp r6, #79
  bne 3f
  ldr r0, p_mytmr
  ldr r1, =1000
  adr r2, timer_cb
  svc #0x4D
3:
  mov r0, #0
  pop {r4, r5, r6, pc}
  .ltorg

on_create:                        @ notes its record and the current-process word it sees
  ldr r1, p_created_record
  str r0, [r1]
  svc #0x8106
  ldr r1, [r0, #8]
  ldr r1, [r1, #4]
  ldr r2, p_seen_current
  str r1, [r2]
  bx lr

@ close_mode 0: the close convention; 1: unloads at once (returns into the released image);
@ 2: leaves mytmr running and unloads later.
on_close:
  push {r4, lr}
  ldr r4, p_close_mode
  ldr r4, [r4]
  cmp r4, #2
  beq 1f
  ldr r0, p_mytmr
  svc #0x18C
1:
  cmp r4, #1
  beq 2f
  adr r0, killer
  svc #0x171
  pop {r4, pc}
2:
  bl killer
  pop {r4, pc}

killer:
  svc #0x8015
  mov r1, r0
  ldr r0, p_elf_begin
  b kill_data
kill_data:
  bx r1

p_descriptor: ABS descriptor
p_unlocker: ABS unlocker
p_name_header: ABS name_header
p_msg_count: ABS msg_count
p_timer_hits: ABS timer_hits
p_timer_restart: ABS timer_restart
p_mytmr: ABS mytmr
p_close_mode: ABS close_mode
p_created_record: ABS created_record
p_seen_current: ABS seen_current
p_elf_begin: ABS _start

descriptor:
  ABS on_message
  ABS on_create
  ABS on_close
  .word 40, 1
  ABS minus11
name_header:
  ABS name_body
  .word 0x55AACCCC, 0x3333AA55, 0
  .hword 139, 0
minus11: .word -11

unlocker:
  ABS on_message
  ABS unlock_alone
  ABS on_close
  .word 40, 1
  ABS minus11
  ABS name_body
  .word 0x55AACCCC, 0x3333AA55, 0
  .hword 139, 0

  .bss
  .balign 4
mytmr: .space 16
name_body: .space 280
msg_count: .space 4
timer_hits: .space 4
timer_restart: .space 4
close_mode: .space 4
created_record: .space 4
seen_current: .space 4
