// The settings file, the autostart entry, the port list and the window's change handlers.

#include "app/tform1.h"

#include "app/app_texts.h"
#include "app/settings_mapping.h"
#include "base/ascii.h"
#include "base/str_to_int.h"
#include "serial/com_port.h"
#include "store/ini_file.h"

#include <filesystem>

namespace lantorvix {
namespace {

constexpr std::string_view kPort = "PORT";
constexpr std::string_view kScanner = "SCANNER";
constexpr std::string_view kProgram = "PROGRAM";

} // namespace

void TForm1::LoadAppSettings()
{
    const IniFile ini(SettingsFileName());
    appSettings_.PortName = settings::PortNameFromStored(ini.ReadString(kPort, "PortName", ""),
                                                         ini.ReadString(kPort, "PortNum", kNoPort));
    comPort_->SetPort(appSettings_.PortName);

    appSettings_.BaudRate = settings::BaudRateFromStored(ini.ReadInteger(kPort, "BaudRate", 9600));
    shell_.SetItemIndex(ComboBox::cmbBaud, settings::BaudItem(appSettings_.BaudRate));

    appSettings_.StopString = settings::StopStringFromStored(ini.ReadString(kScanner, "StopString", ""));
    shell_.SetItemIndex(ComboBox::cmbStop, settings::StopItem(appSettings_.StopString));

    appSettings_.DiscardNull = ini.ReadBool(kProgram, "DiscardNull", true);
    shell_.SetChecked(CheckBox::chkDiscNull, appSettings_.DiscardNull);
    appSettings_.LiteralCodes = ini.ReadBool(kProgram, "LiteralCodes", false);

    SyncAutoRun(false);

    appSettings_.AddedString =
        settings::AddedStringFromStored(ini.ReadString(kProgram, "AddedString", kNoPort));
    shell_.SetItemIndex(ComboBox::cmbAdd, settings::AddedItem(appSettings_.AddedString));
}

void TForm1::SaveAppSettings()
{
    IniFile ini(SettingsFileName());
    // The fallback folder is made by the first save only: reading never leaves one behind.
    // A folder that cannot be made shows as the file's write error.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(ini.FileName()).parent_path(), ignored);
    const std::string& name = appSettings_.PortName;
    ini.WriteString(kPort, "PortNum", settings::StoredPortNum(name));
    // A name "PortNum" cannot hold goes whole into "PortName", which is read first; once
    // the name fits again the key must go, or it would win over "PortNum".
    if (!settings::FitsPortNum(name)) {
        ini.WriteString(kPort, "PortName", name);
    } else {
        ini.DeleteKey(kPort, "PortName");
    }
    ini.WriteInteger(kPort, "BaudRate", appSettings_.BaudRate);
    ini.WriteString(kScanner, "StopString", settings::StoredStopString(appSettings_.StopString));
    ini.WriteString(kProgram, "AddedString", settings::StoredAddedString(appSettings_.AddedString));
    ini.WriteBool(kProgram, "DiscardNull", shell_.Checked(CheckBox::chkDiscNull));
}

void TForm1::SyncAutoRun(bool write)
{
    if (!write) {
        if (const auto data = system_.ReadAutostart(title_)) {
            shell_.SetChecked(CheckBox::ChkAutoRun, *data == system_.ExecutablePath());
        }
        return;
    }
    std::optional<std::string> data;
    if (shell_.Checked(CheckBox::ChkAutoRun)) {
        data = system_.ExecutablePath();
    }
    if (system_.WriteAutostart(title_, data) == SystemServices::AutostartWrite::storeUnavailable) {
        shell_.MessageBox(texts::kAutostartWriteError, texts::kCaption, BoxKind::error);
    }
}

void TForm1::FillPortList()
{
    RefreshPortList(comPort_->Port());
}

void TForm1::RefreshPortList(const std::string& selected)
{
    shell_.KeepItems(ComboBox::cmbPort, static_cast<int>(std::size(settings::kPortItems)));
    int index = 0;
    for (const auto& port : system_.SerialPorts(comPort_->Port())) {
        shell_.AddItem(ComboBox::cmbPort, port.portName);
        if (ascii::EqualIgnoringCase(port.portName, selected)) {
            index = shell_.ItemCount(ComboBox::cmbPort) - 1;
        }
    }
    shell_.SetItemIndex(ComboBox::cmbPort, index);
}

std::string TForm1::SettingsFileName() const
{
    return system_.SettingsFileName();
}

void TForm1::cmbPortChange()
{
    const int item = shell_.ItemIndex(ComboBox::cmbPort);
    if (item >= 0) {
        appSettings_.PortName = shell_.ItemText(ComboBox::cmbPort, item);
    }
}

void TForm1::cmbBaudChange()
{
    const int item = shell_.ItemIndex(ComboBox::cmbBaud);
    if (item >= 0) {
        appSettings_.BaudRate = StrToInt(shell_.ItemText(ComboBox::cmbBaud, item));
    }
}

void TForm1::cmbStopChange()
{
    appSettings_.StopString = settings::StopStringFromItem(shell_.ItemIndex(ComboBox::cmbStop));
}

void TForm1::cmbAddChange()
{
    appSettings_.AddedString = settings::AddedStringFromItem(shell_.ItemIndex(ComboBox::cmbAdd));
}

void TForm1::chkDiscNullClick()
{
    appSettings_.DiscardNull = shell_.Checked(CheckBox::chkDiscNull);
}

} // namespace lantorvix
