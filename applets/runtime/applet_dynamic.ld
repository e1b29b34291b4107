/*
 * The dynamic segment, included by the applet scripts after the loaded sections. It is not
 * loaded: the loader (and elfslim) only read the relocation table from it. .dynamic comes
 * first because a dynamic segment holds its entries from its first byte. ld creates the
 * symbol, string, hash and GOT sections for any -pie link and fails quietly if they are
 * discarded, so they are parked here too.
 */
.dynamic : { *(.dynamic) } :dynamic
.hash    : { *(.hash) }
.dynsym  : { *(.dynsym) }
.dynstr  : { *(.dynstr) . = ALIGN(4); }  /* ld leaves alignment gaps out of p_memsz */
.got     : { HIDDEN(__applet_got_start = .); *(.got.plt) *(.igot.plt) *(.got) *(.igot) HIDDEN(__applet_got_end = .); }
.rel.dyn : {
  *(.rel.dyn) *(.rel.got) *(.rel.text) *(.rel.data)
  HIDDEN(__applet_rel_plt_start = .); *(.rel.plt) *(.rel.iplt) HIDDEN(__applet_rel_plt_end = .);
}

.ARM.attributes 0 : { KEEP(*(.ARM.attributes)) }

/DISCARD/ : { *(.comment) *(.note .note.*) *(.interp) *(.gnu.hash) *(.gnu.version*) }

ASSERT(ELF_BEGIN == 0, "ELF_BEGIN must be the first byte of the image")
/* an applet with initialised data says so with --defsym=APPLET_INITIALISED_DATA=1 */
PROVIDE_HIDDEN(APPLET_INITIALISED_DATA = 0);
ASSERT(__applet_data_end == __applet_data_start || APPLET_INITIALISED_DATA != 0,
       "initialised data in an applet that declared none")
ASSERT(__applet_forbidden_end == __applet_forbidden_start,
       "constructors, unwind tables, PLT, TLS or interworking glue in an applet image")
/* .got.plt's three reserved words are all a -pie link makes when no code uses the GOT */
ASSERT(__applet_got_end - __applet_got_start <= 12, "GOT entries in an applet image: build without -fpic")
ASSERT(__applet_rel_plt_end == __applet_rel_plt_start, "PLT relocations in an applet image")
