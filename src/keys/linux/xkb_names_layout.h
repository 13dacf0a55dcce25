#pragma once

#include "keys/linux/layout_description.h"
#include "keys/linux_keyboard.h"

#include <string>
#include <string_view>

namespace lantorvix {

// One group (0-based) of the layout compiled from XKB names with libxkbcommon. Throws
// Exception when the names do not compile.
LayoutDescription DescribeXkbLayout(const XkbNames& names, int group = 0);

// A layout as people write it ("de", "de(nodeadkeys)", "hu,us", "de(nodeadkeys),us") as
// XKB layout and variant names, and back.
XkbNames XkbNamesFromLayoutText(std::string_view text);
std::string LayoutText(const XkbNames& names);
// The layout of one group (0-based) of the names, as LayoutText writes it.
std::string GroupLayoutText(const XkbNames& names, int group);

// The layout uinput keys are chosen for: the group typed for and where it came from.
struct UinputLayoutChoice {
    XkbNames names;
    int group = 0;
    std::string source;
};
// `settingsKey` ([PROGRAM] KeyboardLayout=) wins over everything; then the fields `given`
// names; then $XKB_DEFAULT_*; then the keyboard configuration file.
UinputLayoutChoice ChooseUinputLayout(const XkbNames& given, std::string_view settingsKey,
                                      std::string_view configFile = "/etc/default/keyboard");

// The names that empty fields of `names` default to: $XKB_DEFAULT_RULES/MODEL/LAYOUT/VARIANT/
// OPTIONS, then the XKB* lines of the keyboard configuration file (Debian's
// /etc/default/keyboard); fields found in neither stay empty.
XkbNames ConfiguredXkbNames(XkbNames names, std::string_view configFile = "/etc/default/keyboard");

} // namespace lantorvix
