// The settings file: every stored form to the record and the window's choices, the stored
// forms written back, and the autostart entry.

#include "tform1_fixture.h"

#include "app/settings_mapping.h"

#include <filesystem>

namespace lantorvix::test {
namespace {

struct LoadCase {
    const char* name;
    std::string ini;
    std::string portName;
    int baud;
    int baudItem;
    std::string stop;
    int stopItem;
    std::string added;
    int addedItem;
    bool discardNull;
};

class LoadMapping : public TForm1Test, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadMapping, StoredValuesGiveFieldsAndChoices)
{
    const LoadCase& c = GetParam();
    if (!c.ini.empty()) {
        WriteIni(c.ini);
    }
    form->FormCreate();
    const AppSettings& s = form->Settings();
    EXPECT_EQ(s.PortName, c.portName);
    EXPECT_EQ(form->ComPort().Port(), c.portName);
    EXPECT_EQ(s.BaudRate, c.baud);
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbBaud), c.baudItem);
    EXPECT_EQ(s.StopString, c.stop);
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbStop), c.stopItem);
    EXPECT_EQ(s.AddedString, c.added);
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbAdd), c.addedItem);
    EXPECT_EQ(s.DiscardNull, c.discardNull);
    EXPECT_EQ(shell.Checked(CheckBox::chkDiscNull), c.discardNull);
}

INSTANTIATE_TEST_SUITE_P(
    Ini, LoadMapping,
    ::testing::Values(
        LoadCase{"NoFile", "", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"Speed4800", "[PORT]\nBaudRate=4800\n", "NINCS", 4800, 2, "\r\n", 0, "", 0, true},
        LoadCase{"Speed19200", "[PORT]\nBaudRate=19200\n", "NINCS", 19200, 4, "\r\n", 0, "", 0, true},
        LoadCase{"Speed57600", "[PORT]\nBaudRate=57600\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"SpeedNotANumber", "[PORT]\nBaudRate=fast\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"StopCrLowerCase", "[SCANNER]\nStopString=cr\n", "NINCS", 9600, 3, "\r", 1, "", 0, true},
        LoadCase{"StopLf", "[SCANNER]\nStopString=LF\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"AddedTab", "[PROGRAM]\nAddedString=Tab\n", "NINCS", 9600, 3, "\r\n", 0, "\t", 2, true},
        LoadCase{"AddedEnter", "[PROGRAM]\nAddedString=enter\n", "NINCS", 9600, 3, "\r\n", 0, "~", 1, true},
        LoadCase{"AddedSpace", "[PROGRAM]\nAddedString=SPACE\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"DiscardZero", "[PROGRAM]\nDiscardNull=0\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, false},
        LoadCase{"DiscardNo", "[PROGRAM]\nDiscardNull=no\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"DiscardTwo", "[PROGRAM]\nDiscardNull=2\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"PortNincsLowerCase", "[PORT]\nPortNum=nincs\n", "COMnincs", 9600, 3, "\r\n", 0, "", 0,
                 true},
        LoadCase{"PortNincs", "[PORT]\nPortNum=NINCS\n", "NINCS", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"PortNumber", "[PORT]\nPortNum=12\n", "COM12", 9600, 3, "\r\n", 0, "", 0, true},
        LoadCase{"WholePortNameWins", "[PORT]\nPortNum=tt\nPortName=ttyUSB0\n", "ttyUSB0", 9600, 3, "\r\n", 0,
                 "", 0, true}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(TForm1Test, PortListIsSortedByDeviceAndSelectsTheConfiguredPortIgnoringCase)
{
    system.ports = {
        {"\\Device\\Serial2", "COM9"}, {"\\device\\serial0", "COM1"}, {"\\Device\\Serial1", "com3"}};
    WriteIni("[PORT]\nPortNum=3\n");
    form->FormCreate();
    EXPECT_EQ(shell.items[0], (std::vector<std::string>{"NINCS", "COM1", "com3", "COM9"}));
    EXPECT_EQ(shell.ItemIndex(ComboBox::cmbPort), 2);
    EXPECT_TRUE(form->Connected());
}

struct SaveCase {
    const char* name;
    std::string portName;
    int baud;
    int stopItem;
    int addedItem;
    bool discard;
    std::string expected;
};

class SaveMapping : public TForm1Test, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveMapping, FieldsGoToTheirStoredForms)
{
    const SaveCase& c = GetParam();
    form->FormCreate();
    shell.items[0].push_back(c.portName);
    shell.UserSelect(ComboBox::cmbPort, static_cast<int>(shell.items[0].size()) - 1);
    shell.UserSelect(ComboBox::cmbBaud, settings::BaudItem(c.baud));
    shell.UserSelect(ComboBox::cmbStop, c.stopItem);
    shell.UserSelect(ComboBox::cmbAdd, c.addedItem);
    shell.UserCheck(CheckBox::chkDiscNull, c.discard);
    form->SaveAppSettings();
    EXPECT_EQ(ReadIni(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ini, SaveMapping,
    ::testing::Values(
        SaveCase{
            "Com7", "COM7", 4800, 0, 1, true,
            "[PORT]\nPortNum=7\nBaudRate=4800\n[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\n"
            "DiscardNull=1\n"},
        SaveCase{
            "NoPort", "NINCS", 9600, 1, 2, false,
            "[PORT]\nPortNum=NINCS\nBaudRate=9600\n[SCANNER]\nStopString=CR\n[PROGRAM]\nAddedString=TAB\n"
            "DiscardNull=0\n"},
        SaveCase{
            "LinuxName", "ttyUSB0", 19200, 0, 0, true,
            "[PORT]\nPortNum=US\nPortName=ttyUSB0\nBaudRate=19200\n[SCANNER]\nStopString=ENTER\n[PROGRAM]\n"
            "AddedString=NINCS\nDiscardNull=1\n"}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(TForm1Test, SavingAFittingNameRemovesAnOldWholeName)
{
    WriteIni("[PORT]\nPortNum=US\nPortName=ttyUSB0\n");
    form->FormCreate();
    shell.UserSelect(ComboBox::cmbPort, 2); // COM3
    form->SaveAppSettings();
    const IniFile ini(system.settingsFile);
    EXPECT_EQ(ini.ReadString("PORT", "PortNum", ""), "3");
    EXPECT_FALSE(ini.ValueExists("PORT", "PortName"));
}

// Reading leaves no settings folder behind; the first save makes it.
TEST_F(TForm1Test, FirstSaveMakesTheSettingsFolder)
{
    const auto settingsFolder = std::filesystem::path(system.settingsFile).parent_path() / "Lantorvix";
    system.settingsFile = (settingsFolder / "Lantorvix.ini").string();
    form->FormCreate();
    EXPECT_FALSE(std::filesystem::exists(settingsFolder));
    form->SaveAppSettings();
    EXPECT_EQ(IniFile(system.settingsFile).ReadString("PORT", "PortNum", ""), "NINCS");
}

TEST_F(TForm1Test, AutostartBoxShowsWhetherTheEntryNamesThisExecutable)
{
    system.autostart = system.exePath;
    form->FormCreate();
    EXPECT_TRUE(shell.Checked(CheckBox::ChkAutoRun));

    system.autostart = system.exePath + "-moved";
    form->SyncAutoRun(false);
    EXPECT_FALSE(shell.Checked(CheckBox::ChkAutoRun));

    system.autostart.reset();
    shell.SetChecked(CheckBox::ChkAutoRun, true);
    system.autostartReadable = false; // unreadable store: the box keeps its state
    form->SyncAutoRun(false);
    EXPECT_TRUE(shell.Checked(CheckBox::ChkAutoRun));
}

TEST_F(TForm1Test, AutostartIsWrittenFromTheBox)
{
    form->FormCreate();
    shell.SetChecked(CheckBox::ChkAutoRun, true);
    form->SyncAutoRun(true);
    EXPECT_EQ(system.autostart, system.exePath);
    EXPECT_EQ(system.autostartName, form->Title());
    shell.SetChecked(CheckBox::ChkAutoRun, false);
    form->SyncAutoRun(true);
    EXPECT_FALSE(system.autostart.has_value());
    form->SyncAutoRun(true); // removing what is not there is fine
    EXPECT_TRUE(shell.boxes.empty());
}

} // namespace
} // namespace lantorvix::test
