#pragma once

#include "keys/linux/layout_description.h"
#include "keys/linux_keyboard.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace lantorvix {

// The X server's core keyboard map, read through XKB, without the key codes `skip` names
// (ones lent to other keysyms): every group of it, and the group in use.
struct XServerKeyboard {
    std::vector<LayoutDescription> groups; // at least one
    int activeGroup = 0;
};
// The XKB names the server's keymap was made from (its _XKB_RULES_NAMES) and the group in
// use.
ActiveXkbLayout ReadXServerNames(_XDisplay* display);
// The same through a connection of its own; nothing when the display cannot be opened.
std::optional<ActiveXkbLayout> DescribeXServer(const std::string& displayName);

XServerKeyboard DescribeXServerKeyboard(_XDisplay* display,
                                        const std::function<bool(int keycode)>& skip = {});

} // namespace lantorvix
