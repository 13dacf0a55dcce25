#pragma once

#include "keys/linux/layout_description.h"

struct _XDisplay;

namespace lantorvix {

// The X server's core keyboard map in its current group, read through XKB.
LayoutDescription DescribeXServerLayout(_XDisplay* display);

} // namespace lantorvix
