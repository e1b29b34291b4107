/*
 * Linker script of an applet image that carries a settings block: as applet.ld, plus the
 * block (section .config) as the last load segment, with file data holding the defaults.
 * It is mutable at run time, which the phone's writable block allows whatever the flags say.
 */
OUTPUT_FORMAT("elf32-littlearm")
OUTPUT_ARCH(arm)
ENTRY(main)

PHDRS
{
  image    PT_LOAD FLAGS(5);     /* R+X */
  zeroed   PT_LOAD FLAGS(6);     /* R+W, no file data */
  settings PT_LOAD FLAGS(5);     /* R+X, the settings block */
  dynamic  PT_DYNAMIC FLAGS(4);  /* R, not loaded */
}

SECTIONS
{
  INCLUDE applet_loaded.ld
  .config ALIGN(4) : { KEEP(*(.config .config.*)) . = ALIGN(4); } :settings
  INCLUDE applet_dynamic.ld
}
