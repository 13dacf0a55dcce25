#include "app/form_layout.h"

#include "app/settings_mapping.h"
#include "app/tform1.h"

#include <algorithm>
#include <array>

namespace lantorvix {

namespace {

using K = ControlKind;
using settings::kAddedItems;
using settings::kBaudItems;
using settings::kPortItems;
using settings::kStopItems;

// Focusable controls come first in tab order; the rest follow. The Win32 window creates them
// in this order, so the child z-order is the tab order.
constexpr std::array kControls{
    ControlLayout{"cmbPort", K::comboList, cid::cmbPort, 12, 48, 65, kComboHeight, "", 0, kPortItems, 0,
                  &TForm1::cmbPortChange},
    ControlLayout{"chkDiscNull",
                  K::checkBox,
                  cid::chkDiscNull,
                  184,
                  44,
                  129,
                  25,
                  "Vezető nullák eldobása",
                  1,
                  {},
                  0,
                  &TForm1::chkDiscNullClick},
    ControlLayout{"btnOK", K::button, cid::btnOK, 88, 184, 71, 25, "Alkalmaz", 2, {}, 0, &TForm1::btnOKClick},
    ControlLayout{
        "btnCancel", K::button, cid::btnCancel, 178, 184, 71, 25, "Mégse", 3, {}, 0, &TForm1::btnCancelClick},
    // Read when the settings are applied: no handler.
    ControlLayout{"ChkAutoRun",
                  K::checkBox,
                  cid::ChkAutoRun,
                  184,
                  84,
                  129,
                  17,
                  "Bekapcsoláskor indul",
                  4,
                  {},
                  1,
                  nullptr},
    ControlLayout{"cmbAdd", K::comboList, cid::cmbAdd, 198, 140, 105, kComboHeight, "", 5, kAddedItems, 0,
                  &TForm1::cmbAddChange},
    ControlLayout{"cmbStop", K::comboList, cid::cmbStop, 32, 140, 105, kComboHeight, "", 6, kStopItems, 0,
                  &TForm1::cmbStopChange},
    ControlLayout{"cmbBaud", K::comboList, cid::cmbBaud, 88, 48, 65, kComboHeight, "", 7, kBaudItems, -1,
                  &TForm1::cmbBaudChange},
    ControlLayout{"Label5", K::boldLabel, cid::Label5, 0, 12, 169, 17, "Kommunikáció:", -1, {}, 0, nullptr},
    ControlLayout{"Label2", K::label, cid::Label2, 12, 32, 0, kLabelHeight, "Port:", -1, {}, 0, nullptr},
    ControlLayout{"Label8", K::label, cid::Label8, 88, 32, 0, kLabelHeight, "Sebesség:", -1, {}, 0, nullptr},
    ControlLayout{"Bevel2", K::horizontalLine, cid::Bevel2, 10, 80, 141, 9, "", -1, {}, 0, nullptr},
    ControlLayout{
        "Label6", K::boldLabel, cid::Label6, 0, 100, 169, 17, "Vonalkódolvasó:", -1, {}, 0, nullptr},
    ControlLayout{
        "Label7", K::label, cid::Label7, 32, 124, 0, kLabelHeight, "Lezáró karakter: ", -1, {}, 0, nullptr},
    ControlLayout{"Bevel1", K::verticalLine, cid::Bevel1, 167, 16, 2, 145, "", -1, {}, 0, nullptr},
    ControlLayout{"Label4", K::boldLabel, cid::Label4, 168, 12, 169, 17, "Program:", -1, {}, 0, nullptr},
    ControlLayout{
        "Label3", K::label, cid::Label3, 198, 124, 0, kLabelHeight, "Hozzáadott adat: ", -1, {}, 0, nullptr},
    ControlLayout{"Image1",
                  K::picture,
                  cid::Image1,
                  304,
                  184,
                  33,
                  33,
                  LANTORVIX_MAKER_URL,
                  -1,
                  {},
                  0,
                  &TForm1::Image1Click},
};

// The Win32 window takes its tab order from the creation order, the Qt window from tabOrder:
// focusable controls first, each numbered by its place.
constexpr bool TabOrderIsCreationOrder()
{
    bool focusable = true;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i].tabOrder < 0) {
            focusable = false;
        } else if (!focusable || kControls[i].tabOrder != static_cast<int>(i)) {
            return false;
        }
    }
    return true;
}
static_assert(TabOrderIsCreationOrder(), "tab order and creation order of the controls differ");

constexpr std::array kTrayMenu{
    MenuItemLayout{cid::Belltsok1, "Beállítások", false, false, &TForm1::Belltsok1Click},
    MenuItemLayout{0, nullptr, false, false, nullptr},
    MenuItemLayout{cid::Kilps1, "Kilépés", true, true, &TForm1::Kilps1Click},
};

} // namespace

std::span<const ControlLayout> FormControls()
{
    return kControls;
}

std::span<const MenuItemLayout> TrayMenuItems()
{
    return kTrayMenu;
}

const MenuItemLayout* FindMenuItem(int id)
{
    const auto it = std::find_if(kTrayMenu.begin(), kTrayMenu.end(),
                                 [id](const MenuItemLayout& item) { return id != 0 && item.id == id; });
    return it == kTrayMenu.end() ? nullptr : &*it;
}

const ControlLayout* FindControl(int id)
{
    const auto it =
        std::find_if(kControls.begin(), kControls.end(), [id](const ControlLayout& c) { return c.id == id; });
    return it == kControls.end() ? nullptr : &*it;
}

int ControlId(ComboBox box)
{
    switch (box) {
    case ComboBox::cmbPort:
        return cid::cmbPort;
    case ComboBox::cmbBaud:
        return cid::cmbBaud;
    case ComboBox::cmbStop:
        return cid::cmbStop;
    case ComboBox::cmbAdd:
        return cid::cmbAdd;
    }
    return 0;
}

int ControlId(CheckBox box)
{
    return box == CheckBox::chkDiscNull ? cid::chkDiscNull : cid::ChkAutoRun;
}

std::optional<ComboBox> ComboBoxFor(int id)
{
    for (ComboBox box : {ComboBox::cmbPort, ComboBox::cmbBaud, ComboBox::cmbStop, ComboBox::cmbAdd}) {
        if (ControlId(box) == id) {
            return box;
        }
    }
    return std::nullopt;
}

} // namespace lantorvix
