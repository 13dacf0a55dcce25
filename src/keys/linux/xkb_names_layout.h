#pragma once

#include "keys/linux/layout_description.h"
#include "keys/linux_keyboard.h"

#include <string_view>

namespace lantorvix {

// The first group of the layout compiled from XKB names with libxkbcommon. Throws Exception
// when the names do not compile.
LayoutDescription DescribeXkbLayout(const XkbNames& names);

// The names that empty fields of `names` default to: $XKB_DEFAULT_RULES/MODEL/LAYOUT/VARIANT/
// OPTIONS, then the XKB* lines of the keyboard configuration file (Debian's
// /etc/default/keyboard); fields found in neither stay empty.
XkbNames ConfiguredXkbNames(XkbNames names, std::string_view configFile = "/etc/default/keyboard");

} // namespace lantorvix
