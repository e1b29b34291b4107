@ The start of every image. The linker script puts .image_begin first, then any
@ initialised data, then .text.image_start, so ELF_BEGIN marks the first byte of the block
@ the loader allocates; in an image without initialised data kill_data is its first
@ instruction.

        .syntax unified
        .arm

        .section .image_begin, "ax", %progbits
        .global ELF_BEGIN
        .type   ELF_BEGIN, %object
ELF_BEGIN:

        .section .text.image_start, "ax", %progbits
        .balign 4

@ kill_data(address, routine): continue in routine(address). A plain branch, not a call, so
@ the routine returns to kill_data's caller; when the routine is the firmware's free routine
@ and the address is ELF_BEGIN, nothing of the image runs once the block is released.
        .global kill_data
        .type   kill_data, %function
kill_data:
        bx      r1
        .size   kill_data, . - kill_data

@ seqkill(a, b, c, routine): continue in routine(a, b, c) the same way.
        .global seqkill
        .type   seqkill, %function
seqkill:
        bx      r3
        .size   seqkill, . - seqkill
