#pragma once

#include "app/shell.h"

#include <optional>
#include <span>

namespace lantorvix {

class TForm1;

// The settings window's controls, the one description both desktops build from: kind,
// position in the client area (pixels at 96 dpi), text, tab order, design-time list items
// and state, and the form's handler for the user's change or click. Width 0 on a label
// means "as wide as its text" (auto size).
enum class ControlKind {
    label,
    boldLabel,
    comboList,
    checkBox,
    button,
    horizontalLine,
    verticalLine,
    picture
};

struct ControlLayout {
    const char* name;
    ControlKind kind;
    int id; // the control's number; the Win32 child window identifier (WM_COMMAND)
    int left, top, width, height;
    const char* text; // UTF-8; the tool tip for the picture
    int tabOrder;     // -1: takes no focus
    // A list's items and selected item (-1: none); a check box: initial 1 is checked.
    std::span<const char* const> items;
    int initial;
    void (TForm1::*handler)(); // nullptr: the control has none
};

inline constexpr int kClientWidth = 337;
inline constexpr int kClientHeight = 212;
// The one line that says the scanner is awaited (shown only then), above the buttons.
inline constexpr int kStatusLeft = 12;
inline constexpr int kStatusTop = 166;
inline constexpr int kStatusWidth = kClientWidth - 2 * kStatusLeft;
inline constexpr int kLabelHeight = 13; // one line of "MS Sans Serif" 8 pt
inline constexpr int kComboHeight = 21; // the closed drop-down list
inline constexpr const char* kWindowCaption = "Lantorvix - Beállítások";

// Control identifiers.
namespace cid {
inline constexpr int Label5 = 1001, Label2 = 1002, cmbPort = 1003, Label8 = 1004, cmbBaud = 1005,
                     Bevel2 = 1006, Label6 = 1007, Label7 = 1008, cmbStop = 1009, Bevel1 = 1010,
                     Label4 = 1011, chkDiscNull = 1012, ChkAutoRun = 1013, Label3 = 1014, cmbAdd = 1015,
                     btnOK = 1016, btnCancel = 1017, Image1 = 1018;
// Tray menu items.
inline constexpr int Belltsok1 = 2001, Kilps1 = 2002;
} // namespace cid

// The tray menu's items in order; id 0 is a separator. The default item is drawn bold.
struct MenuItemLayout {
    int id;
    const char* text; // UTF-8
    bool isDefault;
    // Asks a question in a modal box: a desktop whose menu runs a loop of its own calls it
    // once that loop has ended.
    bool modal;
    void (TForm1::*handler)();
};

// Every control, in creation order (which is also the tab order of the focusable ones).
std::span<const ControlLayout> FormControls();
std::span<const MenuItemLayout> TrayMenuItems();
const MenuItemLayout* FindMenuItem(int id);
const ControlLayout* FindControl(int id);

int ControlId(ComboBox box);
int ControlId(CheckBox box);
std::optional<ComboBox> ComboBoxFor(int id);

} // namespace lantorvix
