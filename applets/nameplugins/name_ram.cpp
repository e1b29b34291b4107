// nimbrel_ram: the name is the free RAM in whole kilobytes. The firmware's count is taken as
// signed and divided with truncation toward zero, so under 1024 free bytes read 0 kb RAM.
#include "name_refresh.h"

void refresh_name(WideString* name) {
  fw_wsprintf(name, "%i kb RAM", fw_free_ram() / 1024);
}
