// The data every applet's process skeleton shares.
#include "csm.h"

extern "C" {

// The descriptor's one-entry state table; its meaning is the firmware's.
const int32_t minus11[1] = {-11};

// Zero when the loader calls main: the display-name body, which the firmware's wide-string
// services fill, and the timer record every close handler stops, started or not.
uint16_t maincsm_name_body[kNameBodyUnits];
FwTimer mytmr;

}  // extern "C"
