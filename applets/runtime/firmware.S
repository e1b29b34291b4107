@ One stub per firmware service: the service number travels in the immediate of the SWI
@ instruction, which exists only in ARM state with a 24-bit immediate (Thumb's has 8 bits),
@ so the stubs are ARM code. Arguments and result stay where the procedure call standard
@ puts them; the stub touches neither the registers nor the stack, so calls with more than
@ four arguments (fw_wsprintf, fw_draw_string, fw_play_file) reach the firmware unchanged.
@ Each stub sits in its own section so that an image carries only the stubs it calls.

        .syntax unified
        .arm

        .macro fw_stub name, number
        .section .text.\name, "ax", %progbits
        .global \name
        .type   \name, %function    @ lets Thumb callers interwork through BLX
        .balign 4
\name:
        swi     \number
        bx      lr
        .size   \name, . - \name
        .endm

#define FW_SERVICE(name, number) fw_stub name, number
#include "firmware_services.inc"
#undef FW_SERVICE
