/* Test guest: code and constants from 0, then the relocation list, then zeroed data. */
SECTIONS {
  . = 0;
  .text : { *(.text*) *(.rodata*) *(.data*) }
  . = ALIGN(4);
  __words_start = .;
  .address_words : { *(.address_words) }
  __words_end = .;
  .bss : { *(.bss*) *(COMMON) }
  __bss_end = .;
  /DISCARD/ : { *(.ARM.attributes) *(.comment) *(.ARM.exidx*) }
}
