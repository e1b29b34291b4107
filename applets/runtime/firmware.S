@ Stubs for the firmware services whose arguments do not all fit in r0-r3: a variadic
@ service and those of more than four arguments. The caller has already put the fifth and
@ later arguments on the stack as the procedure call standard says; the stub touches neither
@ the registers nor the stack, so the firmware finds them where it expects them. Every other
@ service is a SWI issued inline at the call (firmware.h).
@ The service number travels in the immediate of the SWI instruction, which exists only in
@ ARM state with a 24-bit immediate (Thumb's has 8 bits), so the stubs are ARM code.
@ Each stub sits in its own section so that an image carries only the stubs it calls.

        .syntax unified
        .arm

@ .L names stay out of the symbol table.
#define FW_SERVICE(name, number) .equ .L##name##_number, number
#include "firmware_services.inc"
#undef FW_SERVICE

        .macro fw_stub name
        .section .text.\name, "ax", %progbits
        .global \name
        .type   \name, %function    @ lets Thumb callers interwork through BLX
        .balign 4
\name:
        swi     .L\name\()_number
        bx      lr
        .size   \name, . - \name
        .endm

        fw_stub fw_wsprintf
        fw_stub fw_play_file
        fw_stub fw_draw_string
        fw_stub fw_rect_from_xywh
        fw_stub fw_draw_rect
