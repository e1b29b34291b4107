// What the two name plugins differ in: how the display name is computed.
#pragma once

#include "csm.h"

// Writes the current text into the display name `name`, replacing the old one.
void refresh_name(WideString* name);
