#pragma once

#include "keys/linux/layout_description.h"

#include <functional>

struct _XDisplay;

namespace lantorvix {

// The X server's core keyboard map in its current group, read through XKB, without the key
// codes `skip` names (ones lent to other keysyms for the moment).
LayoutDescription DescribeXServerLayout(_XDisplay* display,
                                        const std::function<bool(int keycode)>& skip = {});

} // namespace lantorvix
