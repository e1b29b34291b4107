/*
 * Linker script of an applet image without a settings block. Only PT_LOAD and PT_DYNAMIC
 * headers: the phone's loader and elfslim refuse any other kind, and GNU ld would add
 * PT_PHDR, PT_INTERP and friends on its own.
 */
OUTPUT_FORMAT("elf32-littlearm")
OUTPUT_ARCH(arm)
ENTRY(main)

PHDRS
{
  image   PT_LOAD FLAGS(5);     /* R+X */
  zeroed  PT_LOAD FLAGS(6);     /* R+W, no file data */
  dynamic PT_DYNAMIC FLAGS(4);  /* R, not loaded */
}

SECTIONS
{
  INCLUDE applet_loaded.ld
  INCLUDE applet_dynamic.ld
}
