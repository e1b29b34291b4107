/*
 * The loaded part of an applet image, included by the applet scripts. The image is placed in
 * one block at an address the linker cannot know, so everything links at 0 and every
 * absolute address in it gets a relocation in the dynamic segment.
 */

/*
 * One read-only segment begins the image: ELF_BEGIN, the initial values of initialised data
 * (used in place, since the phone's block is writable), then code and constants. The
 * markers let the asserts in applet_dynamic.ld find what must not be there.
 */
.text 0 : ALIGN(4)
{
  KEEP(*(.image_begin))
  HIDDEN(__applet_data_start = .);
  *(.data .data.*)
  . = ALIGN(4);
  HIDDEN(__applet_data_end = .);
  KEEP(*(.text.image_start))
  *(.text.unlikely .text.unlikely.*)
  *(.text.startup .text.startup.*)
  *(.text .text.*)
  *(.rodata .rodata.*)
  HIDDEN(__applet_forbidden_start = .);
  /* static constructors and destructors: the phone runs none; KEEP, or --gc-sections would
     drop them without a word and leave their objects unconstructed */
  KEEP(*(.init_array .init_array.* .ctors .ctors.* .fini_array .fini_array.* .dtors .dtors.*))
  KEEP(*(.preinit_array .init .fini))
  /* unwind tables, which only exceptions would need */
  *(.ARM.exidx .ARM.exidx.* .ARM.extab .ARM.extab.* .eh_frame .eh_frame_hdr .gcc_except_table)
  /* procedure linkage: an applet imports nothing */
  *(.plt .iplt)
  /* thread-local data */
  *(.tdata .tdata.* .tbss .tbss.*)
  /* veneers and glue that would hide a mode switch the code did not ask for */
  *(.glue_7 .glue_7t .vfp11_veneer .v4_bx)
  HIDDEN(__applet_forbidden_end = .);
  . = ALIGN(4);
} :image

/* Zero-initialised data: memory only, no file data; the loader zero-fills the block. */
.bss ALIGN(4) (NOLOAD) :
{
  *(.bss .bss.* COMMON)
  . = ALIGN(4);
} :zeroed
