#include "app/win32/form_layout.h"

#include <algorithm>
#include <array>

namespace lantorvix::win32 {

namespace {

using K = ControlKind;

// Focusable controls come first in tab order; the rest follow. The window creates them in
// this order, so the child z-order is the tab order.
constexpr std::array kControls{
    ControlLayout{"cmbPort", K::comboList, cid::cmbPort, 12, 48, 65, kComboHeight, "", 0},
    ControlLayout{"chkDiscNull", K::checkBox, cid::chkDiscNull, 184, 44, 129, 25, "Vezető nullák eldobása",
                  1},
    ControlLayout{"btnOK", K::button, cid::btnOK, 88, 184, 71, 25, "Alkalmaz", 2},
    ControlLayout{"btnCancel", K::button, cid::btnCancel, 178, 184, 71, 25, "Mégse", 3},
    ControlLayout{"ChkAutoRun", K::checkBox, cid::ChkAutoRun, 184, 84, 129, 17, "Bekapcsoláskor indul", 4},
    ControlLayout{"cmbAdd", K::comboList, cid::cmbAdd, 198, 140, 105, kComboHeight, "", 5},
    ControlLayout{"cmbStop", K::comboList, cid::cmbStop, 32, 140, 105, kComboHeight, "", 6},
    ControlLayout{"cmbBaud", K::comboList, cid::cmbBaud, 88, 48, 65, kComboHeight, "", 7},
    ControlLayout{"Label5", K::boldLabel, cid::Label5, 0, 12, 169, 17, "Kommunikáció:", -1},
    ControlLayout{"Label2", K::label, cid::Label2, 12, 32, 0, kLabelHeight, "Port:", -1},
    ControlLayout{"Label8", K::label, cid::Label8, 88, 32, 0, kLabelHeight, "Sebesség:", -1},
    ControlLayout{"Bevel2", K::horizontalLine, cid::Bevel2, 10, 80, 141, 9, "", -1},
    ControlLayout{"Label6", K::boldLabel, cid::Label6, 0, 100, 169, 17, "Vonalkódolvasó:", -1},
    ControlLayout{"Label7", K::label, cid::Label7, 32, 124, 0, kLabelHeight, "Lezáró karakter: ", -1},
    ControlLayout{"Bevel1", K::verticalLine, cid::Bevel1, 167, 16, 2, 145, "", -1},
    ControlLayout{"Label4", K::boldLabel, cid::Label4, 168, 12, 169, 17, "Program:", -1},
    ControlLayout{"Label3", K::label, cid::Label3, 198, 124, 0, kLabelHeight, "Hozzáadott adat: ", -1},
    ControlLayout{"Image1", K::picture, cid::Image1, 304, 184, 33, 33, LANTORVIX_MAKER_URL, -1},
};

constexpr std::array<const char* const, 1> kPortItems{"NINCS"};
constexpr std::array<const char* const, 5> kBaudItems{"1200", "2400", "4800", "9600", "19200"};
constexpr std::array<const char* const, 2> kStopItems{"ENTER (CR/LF)", "CR"};
constexpr std::array<const char* const, 3> kAddItems{"NINCS", "ENTER (CR/LF)", "TAB"};

} // namespace

std::span<const ControlLayout> FormControls()
{
    return kControls;
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

std::optional<CheckBox> CheckBoxFor(int id)
{
    for (CheckBox box : {CheckBox::chkDiscNull, CheckBox::ChkAutoRun}) {
        if (ControlId(box) == id) {
            return box;
        }
    }
    return std::nullopt;
}

std::span<const char* const> DesignItems(ComboBox box)
{
    switch (box) {
    case ComboBox::cmbPort:
        return kPortItems;
    case ComboBox::cmbBaud:
        return kBaudItems;
    case ComboBox::cmbStop:
        return kStopItems;
    case ComboBox::cmbAdd:
        return kAddItems;
    }
    return {};
}

} // namespace lantorvix::win32
