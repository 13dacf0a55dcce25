#include "base/exception.h"
#include "serial/com_conversions.h"
#include "serial/port_fixture.h"
#include "store/ini_file.h"
#include "store/registry_store.h"
#include "store/temp_dir.h"
#include "support/file_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>

namespace lantorvix {
namespace {

using test::PortFixture;

const TPersistGroups kAllGroups{TPersistGroup::pgBasic,  TPersistGroup::pgFlowControl,
                                TPersistGroup::pgBuffer, TPersistGroup::pgTimeouts,
                                TPersistGroup::pgParity, TPersistGroup::pgOthers};

// Every persisted setting in a comparable form.
std::map<std::string, std::string> Snapshot(const TCustomComPort& p)
{
    const auto& f = p.FlowControl();
    return {
        {"Port", p.Port()},
        {"BaudRate", BaudRateToStr(p.BaudRate())},
        {"CustomBaudRate", std::to_string(p.CustomBaudRate())},
        {"StopBits", StopBitsToStr(p.StopBits())},
        {"DataBits", DataBitsToStr(p.DataBits())},
        {"Parity", ParityToStr(p.Parity().Bits())},
        {"EventChar", std::to_string(static_cast<unsigned char>(p.EventChar()))},
        {"DiscardNull", BoolToYesNo(p.DiscardNull())},
        {"Parity.Check", BoolToYesNo(p.Parity().Check())},
        {"Parity.Replace", BoolToYesNo(p.Parity().Replace())},
        {"Parity.ReplaceChar", std::to_string(static_cast<unsigned char>(p.Parity().ReplaceChar()))},
        {"Buffer.OutputSize", std::to_string(p.Buffer().OutputSize())},
        {"Buffer.InputSize", std::to_string(p.Buffer().InputSize())},
        {"Timeouts.ReadInterval", std::to_string(p.Timeouts().ReadInterval())},
        {"Timeouts.ReadTotalConstant", std::to_string(p.Timeouts().ReadTotalConstant())},
        {"Timeouts.ReadTotalMultiplier", std::to_string(p.Timeouts().ReadTotalMultiplier())},
        {"Timeouts.WriteTotalConstant", std::to_string(p.Timeouts().WriteTotalConstant())},
        {"Timeouts.WriteTotalMultiplier", std::to_string(p.Timeouts().WriteTotalMultiplier())},
        {"FlowControl.ControlRTS", RTSToStr(f.ControlRTS())},
        {"FlowControl.ControlDTR", DTRToStr(f.ControlDTR())},
        {"FlowControl.DSRSensitivity", BoolToYesNo(f.DSRSensitivity())},
        {"FlowControl.OutCTSFlow", BoolToYesNo(f.OutCTSFlow())},
        {"FlowControl.OutDSRFlow", BoolToYesNo(f.OutDSRFlow())},
        {"FlowControl.TxContinueOnXoff", BoolToYesNo(f.TxContinueOnXoff())},
        {"FlowControl.XonXoffIn", BoolToYesNo(f.XonXoffIn())},
        {"FlowControl.XonXoffOut", BoolToYesNo(f.XonXoffOut())},
        {"FlowControl.XoffChar", std::to_string(static_cast<unsigned char>(f.XoffChar()))},
        {"FlowControl.XonChar", std::to_string(static_cast<unsigned char>(f.XonChar()))},
    };
}

// Every setting away from its default; the detailed flow control adds up to fcCustom unless
// the summary is applied last.
void SetEverything(TCustomComPort& p, TRTSFlowControl rts)
{
    p.SetPort("ttyUSB3");
    p.SetBaudRate(TBaudRate::brCustom);
    p.SetCustomBaudRate(250000);
    p.SetStopBits(TStopBits::sbOne5StopBits);
    p.SetDataBits(TDataBits::dbSeven);
    p.Parity().SetBits(TParityBits::prMark);
    p.SetEventChar('\r');
    p.SetDiscardNull(true);
    p.Parity().SetCheck(true);
    p.Parity().SetReplace(true);
    p.Parity().SetReplaceChar(static_cast<char>(200));
    p.Buffer().SetOutputSize(8192);
    p.Buffer().SetInputSize(-4);
    p.Timeouts().SetReadInterval(5);
    p.Timeouts().SetReadTotalConstant(6);
    p.Timeouts().SetReadTotalMultiplier(7);
    p.Timeouts().SetWriteTotalConstant(0);
    p.Timeouts().SetWriteTotalMultiplier(-9);
    auto& f = p.FlowControl();
    f.SetControlRTS(rts);
    f.SetControlDTR(TDTRFlowControl::dtrHandshake);
    f.SetDSRSensitivity(true);
    f.SetOutCTSFlow(true);
    f.SetOutDSRFlow(true);
    f.SetTxContinueOnXoff(true);
    f.SetXonXoffIn(false);
    f.SetXonXoffOut(false);
    f.SetXoffChar('#');
    f.SetXonChar(0);
}

// The two media behind one face, so that each behaviour is shown on both.
class Medium {
public:
    virtual ~Medium() = default;
    virtual void Store(TCustomComPort& p) = 0;
    virtual void Load(TCustomComPort& p) = 0;
    // The stored key names in the order they were written.
    virtual std::vector<std::string> Keys() = 0;
    virtual std::string Value(const std::string& key) = 0;
    virtual void Remove(const std::string& key) = 0;
    virtual void Put(const std::string& key, const std::string& text) = 0;
};

class IniMedium final : public Medium {
public:
    explicit IniMedium(const test::TempDir& dir) : ini_(dir.File("port.ini")) {}
    void Store(TCustomComPort& p) override { p.StoreToIni(ini_); }
    void Load(TCustomComPort& p) override { p.LoadFromIni(ini_); }
    std::vector<std::string> Keys() override { return ini_.ReadSection(kSection); }
    std::string Value(const std::string& key) override { return ini_.ReadString(kSection, key, "<missing>"); }
    void Remove(const std::string& key) override { ini_.DeleteKey(kSection, key); }
    void Put(const std::string& key, const std::string& text) override
    {
        ini_.WriteString(kSection, key, text);
    }
    IniFile& File() { return ini_; }

    static constexpr const char* kSection = "ComPort1";

private:
    IniFile ini_;
};

class RegistryMedium final : public Medium {
public:
    explicit RegistryMedium(const test::TempDir& dir)
    {
#if defined(_WIN32)
        _putenv_s("XDG_CONFIG_HOME", dir.Path().string().c_str());
#else
        setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
#endif
        key_ = "Software\\LantorvixTest\\" + std::to_string(std::random_device{}());
        EXPECT_TRUE(reg_.OpenKey(key_, true));
    }
    ~RegistryMedium() override
    {
        reg_.CloseKey();
        reg_.DeleteKey(key_);
    }
    void Store(TCustomComPort& p) override
    {
        p.StoreToRegistry(reg_);
    }
    void Load(TCustomComPort& p) override
    {
        p.LoadFromRegistry(reg_);
    }
    std::vector<std::string> Keys() override
    {
        return reg_.GetValueNames();
    }
    std::string Value(const std::string& key) override
    {
        if (!reg_.ValueExists(key)) {
            return "<missing>";
        }
        try {
            return reg_.ReadString(key);
        } catch (const ERegistryException&) {
            return "int:" + std::to_string(reg_.ReadInteger(key));
        }
    }
    void Remove(const std::string& key) override
    {
        reg_.DeleteValue(key);
    }
    void Put(const std::string& key, const std::string& text) override
    {
        reg_.WriteString(key, text);
    }
    RegistryStore& Store()
    {
        return reg_;
    }

private:
    RegistryStore reg_;
    std::string key_;
};

enum class Kind { Ini, Registry };

class PersistenceTest : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        if (GetParam() == Kind::Ini) {
            medium = std::make_unique<IniMedium>(dir);
        } else {
            medium = std::make_unique<RegistryMedium>(dir);
        }
        for (auto* f : {&a, &b}) {
            f->port->SetName(IniMedium::kSection);
        }
    }

    test::TempDir dir;
    std::unique_ptr<Medium> medium;
    PortFixture a;
    PortFixture b;
};

TEST_P(PersistenceTest, DefaultGroupsStoreExactlyTheBasicKeys)
{
    a.port->SetPort("COM7");
    a.port->SetBaudRate(TBaudRate::br19200);
    a.port->SetStopBits(TStopBits::sbTwoStopBits);
    a.port->SetDataBits(TDataBits::dbFive);
    a.port->Parity().SetBits(TParityBits::prEven);
    a.port->FlowControl().SetFlowControl(TFlowControl::fcHardware);
    a.port->SetDiscardNull(true); // pgOthers is not chosen
    medium->Store(*a.port);
    auto keys = medium->Keys();
    if (GetParam() == Kind::Registry) {
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys, (std::vector<std::string>{"BaudRate", "DataBits", "FlowControl", "Parity", "Port",
                                                  "StopBits"}));
    } else {
        EXPECT_EQ(keys, (std::vector<std::string>{"Port", "BaudRate", "StopBits", "DataBits", "Parity",
                                                  "FlowControl"}));
    }
    const std::map<std::string, std::string> expected = {{"Port", "COM7"},   {"BaudRate", "19200"},
                                                         {"StopBits", "2"},  {"DataBits", "5"},
                                                         {"Parity", "Even"}, {"FlowControl", "Hardware"}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(medium->Value(key), value) << key;
    }
}

TEST_P(PersistenceTest, CustomRateIsStoredOnlyWithCustomBaudRate)
{
    a.port->SetBaudRate(TBaudRate::brCustom);
    a.port->SetCustomBaudRate(31250);
    medium->Store(*a.port);
    EXPECT_EQ(medium->Value("BaudRate"), "Custom");
    EXPECT_EQ(medium->Value("CustomBaudRate"), GetParam() == Kind::Ini ? "31250" : "int:31250");
    if (GetParam() == Kind::Ini) {
        EXPECT_EQ(medium->Keys(), (std::vector<std::string>{"Port", "BaudRate", "CustomBaudRate", "StopBits",
                                                            "DataBits", "Parity", "FlowControl"}));
    }
    b.port->Close();
    b.port->SetCustomBaudRate(1);
    medium->Load(*b.port);
    EXPECT_EQ(b.port->BaudRate(), TBaudRate::brCustom);
    EXPECT_EQ(b.port->CustomBaudRate(), 31250);
}

TEST_P(PersistenceTest, AllSixGroupsRoundTripOnAClosedPort)
{
    for (const auto rts : {TRTSFlowControl::rtsToggle, TRTSFlowControl::rtsHandshake}) {
        SCOPED_TRACE(RTSToStr(rts));
        PortFixture source;
        PortFixture target;
        source.port->SetName(IniMedium::kSection);
        target.port->SetName(IniMedium::kSection);
        source.port->SetPersistGroups(kAllGroups);
        target.port->SetPersistGroups(kAllGroups);
        SetEverything(*source.port, rts);
        medium->Store(*source.port);
        ASSERT_NE(Snapshot(*target.port), Snapshot(*source.port));
        medium->Load(*target.port);
        EXPECT_EQ(Snapshot(*target.port), Snapshot(*source.port));
        EXPECT_FALSE(target.port->Connected());
        EXPECT_EQ(medium->Keys().size(), 29u);
    }
}

TEST_P(PersistenceTest, DetailedFlowKeysWinOverTheSummary)
{
    a.port->SetPersistGroups(kAllGroups);
    SetEverything(*a.port, TRTSFlowControl::rtsHandshake);
    ASSERT_EQ(a.port->FlowControl().FlowControl(), TFlowControl::fcHardware);
    medium->Store(*a.port);
    medium->Put("FlowControl", "Software");
    b.port->SetPersistGroups(kAllGroups);
    medium->Load(*b.port);
    EXPECT_EQ(Snapshot(*b.port), Snapshot(*a.port));
}

TEST_P(PersistenceTest, StoredFormsFollowTheConversions)
{
    a.port->SetPersistGroups(kAllGroups);
    SetEverything(*a.port, TRTSFlowControl::rtsToggle);
    medium->Store(*a.port);
    const bool ini = GetParam() == Kind::Ini;
    const auto number = [&](const char* n) { return ini ? std::string(n) : "int:" + std::string(n); };
    const std::map<std::string, std::string> expected = {
        {"FlowControl", "Custom"},
        {"EventChar", "#13"},
        {"DiscardNull", "Yes"},
        {"Parity.ReplaceChar", "#200"},
        {"Buffer.OutputSize", number("8192")},
        {"Buffer.InputSize", number("-4")},
        {"Timeouts.WriteTotalMultiplier", number("-9")},
        {"FlowControl.ControlRTS", "Toggle"},
        {"FlowControl.ControlDTR", "Handshake"},
        {"FlowControl.XonXoffIn", "No"},
        {"FlowControl.XoffChar", "#"},
        {"FlowControl.XonChar", "#0"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(medium->Value(key), value) << key;
    }
}

TEST_P(PersistenceTest, LoadedValuesGoThroughTheSetters)
{
    // An odd queue size is made even by the setter; an open port re-applies at once.
    a.port->SetPersistGroups(kAllGroups);
    a.port->Buffer().SetInputSize(2048);
    a.port->SetBaudRate(TBaudRate::br4800);
    medium->Store(*a.port);
    if (GetParam() == Kind::Ini) {
        static_cast<IniMedium&>(*medium).File().WriteInteger(IniMedium::kSection, "Buffer.InputSize", 1025);
    } else {
        static_cast<RegistryMedium&>(*medium).Store().WriteInteger("Buffer.InputSize", 1025);
    }
    b.port->SetPersistGroups(kAllGroups);
    b.OpenQuietly();
    medium->Load(*b.port);
    EXPECT_EQ(b.port->Buffer().InputSize(), 1024);
    EXPECT_EQ(b.port->BaudRate(), TBaudRate::br4800);
    EXPECT_GE(b.device->CallCount("SetState"), 1u);
    EXPECT_EQ(b.device->CallCount("SetupQueues"), 1u);
    EXPECT_TRUE(b.port->Connected());
}

TEST_P(PersistenceTest, ChangedPortReopensAndAFailedReopenEndsTheLoad)
{
    a.port->SetPort("COM9");
    a.port->SetBaudRate(TBaudRate::br1200);
    medium->Store(*a.port);
    b.OpenQuietly();
    b.device->Fail("Open", 2);
    EXPECT_THROW(medium->Load(*b.port), EComPort);
    EXPECT_EQ(b.port->Port(), "COM9");
    EXPECT_FALSE(b.port->Connected());
    EXPECT_EQ(b.port->BaudRate(), TBaudRate::br9600) << "the keys after the failure are not loaded";
    const auto opens = b.device->Calls("Open");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens.back().text, "COM9");
}

INSTANTIATE_TEST_SUITE_P(Media, PersistenceTest, testing::Values(Kind::Ini, Kind::Registry),
                         [](const testing::TestParamInfo<Kind>& param) {
                             return param.param == Kind::Ini ? std::string("Ini") : std::string("Registry");
                         });

TEST(IniPersistenceTest, MissingKeysKeepTheCurrentValuesButCustomRateBecomes9600)
{
    test::TempDir dir;
    test::WriteBytes(dir.File("port.ini"), "[ComPort1]\n[Other]\nPort=COM5\n");
    IniFile ini(dir.File("port.ini"));
    PortFixture f;
    f.port->SetName("ComPort1");
    f.port->SetPersistGroups(kAllGroups);
    SetEverything(*f.port, TRTSFlowControl::rtsToggle);
    auto before = Snapshot(*f.port);
    f.port->LoadFromIni(ini);
    before["CustomBaudRate"] = "9600";
    EXPECT_EQ(Snapshot(*f.port), before);

    f.port->SetBaudRate(TBaudRate::br57600);
    f.port->SetCustomBaudRate(777);
    before = Snapshot(*f.port);
    f.port->LoadFromIni(ini);
    EXPECT_EQ(Snapshot(*f.port), before) << "the custom rate is not read without brCustom";
}

TEST(IniPersistenceTest, WriteFailurePassesToTheCallerUnchanged)
{
    test::TempDir dir;
    IniFile ini(dir.File("absent/port.ini"));
    PortFixture f;
    f.port->SetName("ComPort1");
    try {
        f.port->StoreToIni(ini);
        FAIL() << "no exception";
    } catch (const EComPort&) {
        FAIL() << "the store's own error must pass unchanged";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir.File("absent/port.ini"));
    }
}

class RegistryPersistenceTest : public testing::Test {
protected:
    test::TempDir dir;
    RegistryMedium medium{dir};
    PortFixture f;
};

TEST_F(RegistryPersistenceTest, MissingOutputSizeEndsTheLoadThere)
{
    f.port->SetPersistGroups(kAllGroups);
    SetEverything(*f.port, TRTSFlowControl::rtsToggle);
    medium.Store(*f.port);
    medium.Remove("Buffer.OutputSize");
    const auto stored = Snapshot(*f.port);

    PortFixture target;
    target.port->SetPersistGroups(kAllGroups);
    const auto defaults = Snapshot(*target.port);
    try {
        medium.Load(*target.port);
        FAIL() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to get data for 'Buffer.OutputSize'");
    }
    const auto loaded = Snapshot(*target.port);
    for (const auto& [key, value] : loaded) {
        const bool before = key.rfind("Buffer.", 0) != 0 && key.rfind("Timeouts.", 0) != 0 &&
                            key.rfind("FlowControl.", 0) != 0;
        EXPECT_EQ(value, before ? stored.at(key) : defaults.at(key)) << key;
    }
}

TEST_F(RegistryPersistenceTest, NoDefaultsMissingTextsReadAsEmpty)
{
    f.port->SetPort("COM4");
    f.port->SetBaudRate(TBaudRate::br115200);
    f.port->SetStopBits(TStopBits::sbTwoStopBits);
    f.port->SetDataBits(TDataBits::dbSix);
    f.port->Parity().SetBits(TParityBits::prOdd);
    f.port->FlowControl().SetFlowControl(TFlowControl::fcSoftware);
    medium.Load(*f.port);
    EXPECT_EQ(f.port->Port(), "");
    EXPECT_EQ(f.port->BaudRate(), TBaudRate::br9600);
    EXPECT_EQ(f.port->StopBits(), TStopBits::sbOneStopBit);
    EXPECT_EQ(f.port->DataBits(), TDataBits::dbEight);
    EXPECT_EQ(f.port->Parity().Bits(), TParityBits::prNone);
    EXPECT_EQ(f.port->FlowControl().FlowControl(), TFlowControl::fcSoftware)
        << "empty text is fcCustom: no change";
}

} // namespace
} // namespace lantorvix
