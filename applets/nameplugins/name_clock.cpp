// nimbrel_clock: the name is the time and date, hour unpadded, year in full.
#include "name_refresh.h"

void refresh_name(WideString* name) {
  FwDate date;
  FwTime time;
  fw_get_date_time(&date, &time);
  fw_wsprintf(name, "%i:%02i   %02i.%02i.%i", uint32_t{time.hour}, uint32_t{time.minute},
              uint32_t{date.day}, uint32_t{date.month}, date.year);
}
