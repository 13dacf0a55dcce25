#pragma once

#include "keys/linux/layout_description.h"

#include <functional>
#include <vector>

struct _XDisplay;

namespace lantorvix {

// The X server's core keyboard map, read through XKB, without the key codes `skip` names
// (ones lent to other keysyms): every group of it, and the group in use.
struct XServerKeyboard {
    std::vector<LayoutDescription> groups; // at least one
    int activeGroup = 0;
};
XServerKeyboard DescribeXServerKeyboard(_XDisplay* display,
                                        const std::function<bool(int keycode)>& skip = {});

} // namespace lantorvix
