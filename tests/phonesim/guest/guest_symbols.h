// Offsets of the test guest's symbols are read from its header, in this order.
#pragma once

namespace guest {

enum Symbol {
  main_nothing, applet_main, sum6, stub_wsprintf, timer_cb, start_timer, stop_timer,
  lock_twice, unlock_alone, lock_and_return, lock_pair, lock_unlock_in_handler,
  write_null, unknown_service, spin, undefined_insn, thumb_swi, format_five,
  descriptor, timer_hits, timer_restart, msg_count, close_mode, mytmr, created_record,
  seen_current, stub_alloc, stub_free, name_body,
  kSymbolCount
};

}  // namespace guest
