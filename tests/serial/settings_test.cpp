#include <gtest/gtest.h>

#include "base/exception.h"
#include "port_fixture.h"

namespace lantorvix {
namespace {

using test::PortFixture;

TEST(Settings, DefaultsOfANewPort)
{
    PortFixture f;
    TComPort& p = *f.port;
    EXPECT_FALSE(p.Connected());
    EXPECT_EQ(p.BaudRate(), TBaudRate::br9600);
    EXPECT_EQ(p.CustomBaudRate(), 9600);
    EXPECT_EQ(p.Port(), "COM1");
    EXPECT_EQ(p.StopBits(), TStopBits::sbOneStopBit);
    EXPECT_EQ(p.DataBits(), TDataBits::dbEight);
    EXPECT_FALSE(p.DiscardNull());
    EXPECT_EQ(p.EventChar(), 0);
    EXPECT_EQ(p.Events().Bits(), 0x3FF);
    EXPECT_EQ(p.SyncMethod(), TSyncMethod::smThreadSync);
    EXPECT_EQ(p.WatchThreadPriority(), TThreadPriority::tpNormal);
    EXPECT_EQ(p.PersistGroups(), TPersistGroups{TPersistGroup::pgBasic});
    EXPECT_TRUE(p.ReportsByCount());
    EXPECT_EQ(p.Timeouts().ReadInterval(), -1);
    EXPECT_EQ(p.Timeouts().ReadTotalMultiplier(), 0);
    EXPECT_EQ(p.Timeouts().ReadTotalConstant(), 0);
    EXPECT_EQ(p.Timeouts().WriteTotalMultiplier(), 100);
    EXPECT_EQ(p.Timeouts().WriteTotalConstant(), 1000);
    EXPECT_EQ(p.Buffer().InputSize(), 1024);
    EXPECT_EQ(p.Buffer().OutputSize(), 1024);
    EXPECT_EQ(p.Parity().Bits(), TParityBits::prNone);
    EXPECT_FALSE(p.Parity().Check());
    EXPECT_FALSE(p.Parity().Replace());
    EXPECT_EQ(p.Parity().ReplaceChar(), 0);
    const TComFlowControl& fc = p.FlowControl();
    EXPECT_FALSE(fc.OutCTSFlow() || fc.OutDSRFlow() || fc.XonXoffIn() || fc.XonXoffOut() ||
                 fc.DSRSensitivity() || fc.TxContinueOnXoff());
    EXPECT_EQ(fc.ControlDTR(), TDTRFlowControl::dtrDisable);
    EXPECT_EQ(fc.ControlRTS(), TRTSFlowControl::rtsDisable);
    EXPECT_EQ(fc.XonChar(), 17);
    EXPECT_EQ(fc.XoffChar(), 19);
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcNone);
    EXPECT_EQ(p.Parity().ComPort(), &p);
    EXPECT_EQ(p.FlowControl().ComPort(), &p);
    EXPECT_EQ(p.Timeouts().ComPort(), &p);
    EXPECT_EQ(p.Buffer().ComPort(), &p);
    EXPECT_TRUE(f.device->Calls().empty());
}

TEST(Settings, WritesOnAClosedPortOnlyStore)
{
    PortFixture f;
    TComPort& p = *f.port;
    p.SetBaudRate(TBaudRate::br115200);
    p.SetCustomBaudRate(31250);
    p.SetStopBits(TStopBits::sbTwoStopBits);
    p.SetDataBits(TDataBits::dbSeven);
    p.SetDiscardNull(true);
    p.SetEventChar('\n');
    p.Parity().SetBits(TParityBits::prEven);
    p.FlowControl().SetFlowControl(TFlowControl::fcHardware);
    p.Timeouts().SetReadInterval(5);
    p.Buffer().SetInputSize(4096);
    p.SetSyncMethod(TSyncMethod::smNone);
    EXPECT_TRUE(f.device->Calls().empty());
    EXPECT_EQ(p.BaudRate(), TBaudRate::br115200);
    EXPECT_EQ(p.Parity().Bits(), TParityBits::prEven);
    EXPECT_EQ(p.Timeouts().ReadInterval(), 5);
    EXPECT_EQ(p.SyncMethod(), TSyncMethod::smNone);
}

// Each write on an open port re-applies its group once; an equal value applies nothing.
TEST(Settings, WritesOnAnOpenPortApplyTheirGroupOnce)
{
    PortFixture f;
    f.OpenQuietly();
    TComPort& p = *f.port;
    struct Case {
        const char* name;
        std::function<void()> write;
        const char* applied;
    };
    const std::vector<Case> cases = {
        {"BaudRate", [&] { p.SetBaudRate(TBaudRate::br19200); }, "SetState"},
        {"CustomBaudRate", [&] { p.SetCustomBaudRate(31250); }, "SetState"},
        {"StopBits", [&] { p.SetStopBits(TStopBits::sbTwoStopBits); }, "SetState"},
        {"DataBits", [&] { p.SetDataBits(TDataBits::dbSix); }, "SetState"},
        {"DiscardNull", [&] { p.SetDiscardNull(true); }, "SetState"},
        {"EventChar", [&] { p.SetEventChar('X'); }, "SetState"},
        {"Parity.Bits", [&] { p.Parity().SetBits(TParityBits::prOdd); }, "SetState"},
        {"Parity.Check", [&] { p.Parity().SetCheck(true); }, "SetState"},
        {"Parity.Replace", [&] { p.Parity().SetReplace(true); }, "SetState"},
        {"Parity.ReplaceChar", [&] { p.Parity().SetReplaceChar('?'); }, "SetState"},
        {"OutCTSFlow", [&] { p.FlowControl().SetOutCTSFlow(true); }, "SetState"},
        {"OutDSRFlow", [&] { p.FlowControl().SetOutDSRFlow(true); }, "SetState"},
        {"ControlDTR", [&] { p.FlowControl().SetControlDTR(TDTRFlowControl::dtrEnable); }, "SetState"},
        {"ControlRTS", [&] { p.FlowControl().SetControlRTS(TRTSFlowControl::rtsToggle); }, "SetState"},
        {"XonXoffOut", [&] { p.FlowControl().SetXonXoffOut(true); }, "SetState"},
        {"XonXoffIn", [&] { p.FlowControl().SetXonXoffIn(true); }, "SetState"},
        {"DSRSensitivity", [&] { p.FlowControl().SetDSRSensitivity(true); }, "SetState"},
        {"TxContinueOnXoff", [&] { p.FlowControl().SetTxContinueOnXoff(true); }, "SetState"},
        {"XonChar", [&] { p.FlowControl().SetXonChar(1); }, "SetState"},
        {"XoffChar", [&] { p.FlowControl().SetXoffChar(2); }, "SetState"},
        {"ReadInterval", [&] { p.Timeouts().SetReadInterval(10); }, "SetTimeouts"},
        {"ReadTotalMultiplier", [&] { p.Timeouts().SetReadTotalMultiplier(1); }, "SetTimeouts"},
        {"ReadTotalConstant", [&] { p.Timeouts().SetReadTotalConstant(2); }, "SetTimeouts"},
        {"WriteTotalMultiplier", [&] { p.Timeouts().SetWriteTotalMultiplier(3); }, "SetTimeouts"},
        {"WriteTotalConstant", [&] { p.Timeouts().SetWriteTotalConstant(4); }, "SetTimeouts"},
        {"InputSize", [&] { p.Buffer().SetInputSize(2048); }, "SetupQueues"},
        {"OutputSize", [&] { p.Buffer().SetOutputSize(512); }, "SetupQueues"},
    };
    for (const auto& c : cases) {
        f.device->ClearCalls();
        c.write();
        EXPECT_EQ(f.device->CallNames(), std::vector<std::string>{c.applied}) << c.name;
        f.device->ClearCalls();
        c.write();
        EXPECT_TRUE(f.device->Calls().empty()) << c.name << " applied an equal value";
    }
}

TEST(Settings, WholeObjectWritesCopyAndApplyWithoutEqualityTest)
{
    PortFixture f;
    f.OpenQuietly();
    TComPort& p = *f.port;
    TComParity parity;
    parity.SetBits(TParityBits::prMark);
    parity.SetCheck(true);
    TComFlowControl flow;
    flow.SetFlowControl(TFlowControl::fcSoftware);
    TComTimeouts timeouts;
    timeouts.SetReadTotalConstant(77);
    TComBuffer buffer;
    buffer.SetInputSize(8192);

    p.SetParity(parity);
    p.SetParity(parity);
    p.SetFlowControl(flow);
    p.SetTimeouts(timeouts);
    p.SetBuffer(buffer);
    EXPECT_EQ(f.device->CallNames(),
              (std::vector<std::string>{"SetState", "SetState", "SetState", "SetTimeouts", "SetupQueues"}));
    EXPECT_EQ(p.Parity().Bits(), TParityBits::prMark);
    EXPECT_TRUE(p.Parity().Check());
    EXPECT_EQ(p.FlowControl().FlowControl(), TFlowControl::fcSoftware);
    EXPECT_EQ(p.Timeouts().ReadTotalConstant(), 77);
    EXPECT_EQ(p.Buffer().InputSize(), 8192);
    // The copy keeps the port's back-reference; the source stays free-standing.
    EXPECT_EQ(p.Parity().ComPort(), &p);
    EXPECT_EQ(parity.ComPort(), nullptr);
}

TEST(Settings, AssignBetweenDifferentClassesIsRefused)
{
    TComParity parity;
    TComBuffer buffer;
    try {
        parity.Assign(buffer);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TComBuffer to a TComParity");
    }
    TComTimeouts timeouts;
    TComFlowControl flow;
    EXPECT_THROW(flow.Assign(timeouts), EConvertError);
    EXPECT_THROW(timeouts.Assign(flow), EConvertError);
    EXPECT_THROW(buffer.Assign(parity), EConvertError);
}

TEST(Settings, AssignCopiesEveryFieldWithoutApplying)
{
    PortFixture f;
    f.OpenQuietly();
    TComFlowControl source;
    source.SetOutCTSFlow(true);
    source.SetOutDSRFlow(true);
    source.SetControlDTR(TDTRFlowControl::dtrHandshake);
    source.SetControlRTS(TRTSFlowControl::rtsEnable);
    source.SetXonXoffOut(true);
    source.SetXonXoffIn(true);
    source.SetDSRSensitivity(true);
    source.SetTxContinueOnXoff(true);
    source.SetXonChar('a');
    source.SetXoffChar('b');
    f.port->FlowControl().Assign(source);
    EXPECT_TRUE(f.device->Calls().empty());
    const TComFlowControl& d = f.port->FlowControl();
    EXPECT_TRUE(d.OutCTSFlow() && d.OutDSRFlow() && d.XonXoffOut() && d.XonXoffIn() && d.DSRSensitivity() &&
                d.TxContinueOnXoff());
    EXPECT_EQ(d.ControlDTR(), TDTRFlowControl::dtrHandshake);
    EXPECT_EQ(d.ControlRTS(), TRTSFlowControl::rtsEnable);
    EXPECT_EQ(d.XonChar(), 'a');
    EXPECT_EQ(d.XoffChar(), 'b');
}

TEST(Settings, BufferSizesAreMadeEven)
{
    struct Case {
        std::int32_t written;
        std::int32_t stored;
    };
    for (const Case c :
         {Case{4097, 4096}, Case{1025, 1024}, Case{1, 0}, Case{-3, -3}, Case{0, 0}, Case{4098, 4098}}) {
        TComBuffer b;
        b.SetInputSize(c.written);
        b.SetOutputSize(c.written);
        EXPECT_EQ(b.InputSize(), c.stored) << c.written;
        EXPECT_EQ(b.OutputSize(), c.stored) << c.written;
    }
    // The equality test sees the stored even value, so an odd size applies every time.
    PortFixture f;
    f.OpenQuietly();
    f.port->Buffer().SetInputSize(1025);
    f.port->Buffer().SetInputSize(1025);
    EXPECT_EQ(f.device->CallCount("SetupQueues"), 2u);
}

// Derived flow control: reading is tested in table order; the six other fields do not count.
TEST(Settings, DerivedFlowControlReading)
{
    using R = TRTSFlowControl;
    struct Case {
        R rts;
        bool cts, xin, xout;
        TFlowControl expected;
    };
    const Case cases[] = {
        {R::rtsHandshake, true, false, false, TFlowControl::fcHardware},
        {R::rtsDisable, false, true, true, TFlowControl::fcSoftware},
        {R::rtsDisable, false, false, false, TFlowControl::fcNone},
        {R::rtsEnable, false, false, false, TFlowControl::fcCustom},
        {R::rtsHandshake, false, false, false, TFlowControl::fcCustom},
        {R::rtsHandshake, true, true, false, TFlowControl::fcCustom},
        {R::rtsDisable, false, true, false, TFlowControl::fcCustom},
        {R::rtsDisable, true, false, false, TFlowControl::fcCustom},
        {R::rtsToggle, false, true, true, TFlowControl::fcCustom},
    };
    for (const auto& c : cases) {
        for (bool others : {false, true}) {
            TComFlowControl fc;
            fc.SetControlRTS(c.rts);
            fc.SetOutCTSFlow(c.cts);
            fc.SetXonXoffIn(c.xin);
            fc.SetXonXoffOut(c.xout);
            fc.SetOutDSRFlow(others);
            fc.SetDSRSensitivity(others);
            fc.SetTxContinueOnXoff(others);
            fc.SetControlDTR(others ? TDTRFlowControl::dtrHandshake : TDTRFlowControl::dtrDisable);
            EXPECT_EQ(fc.FlowControl(), c.expected) << static_cast<int>(c.rts) << c.cts << c.xin << c.xout;
        }
    }
}

TEST(Settings, DerivedFlowControlWriting)
{
    PortFixture f;
    f.OpenQuietly();
    TComFlowControl& fc = f.port->FlowControl();
    fc.SetOutDSRFlow(true);
    fc.SetControlDTR(TDTRFlowControl::dtrEnable);
    fc.SetXonChar('Q');
    f.device->ClearCalls();

    fc.SetFlowControl(TFlowControl::fcHardware);
    EXPECT_EQ(fc.ControlRTS(), TRTSFlowControl::rtsHandshake);
    EXPECT_TRUE(fc.OutCTSFlow());
    EXPECT_FALSE(fc.XonXoffIn());
    EXPECT_FALSE(fc.XonXoffOut());
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcHardware);

    fc.SetFlowControl(TFlowControl::fcSoftware);
    EXPECT_EQ(fc.ControlRTS(), TRTSFlowControl::rtsDisable);
    EXPECT_FALSE(fc.OutCTSFlow());
    EXPECT_TRUE(fc.XonXoffIn() && fc.XonXoffOut());
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcSoftware);

    fc.SetFlowControl(TFlowControl::fcCustom); // changes nothing but still applies
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcSoftware);

    fc.SetFlowControl(TFlowControl::fcNone);
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcNone);
    fc.SetFlowControl(TFlowControl::fcNone); // an unchanged value applies too
    EXPECT_EQ(f.device->CallCount("SetState"), 5u);

    // Never touched by the summary.
    EXPECT_TRUE(fc.OutDSRFlow());
    EXPECT_EQ(fc.ControlDTR(), TDTRFlowControl::dtrEnable);
    EXPECT_EQ(fc.XonChar(), 'Q');
}

TEST(Settings, HardwareSummarySurvivesOutDsrButNotRtsEnable)
{
    TComFlowControl fc;
    fc.SetFlowControl(TFlowControl::fcHardware);
    fc.SetOutDSRFlow(true);
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcHardware);
    fc.SetControlRTS(TRTSFlowControl::rtsEnable);
    EXPECT_EQ(fc.FlowControl(), TFlowControl::fcCustom);
}

TEST(Settings, SyncMethodIsRefusedWhileOpen)
{
    PortFixture f;
    f.OpenQuietly();
    f.port->SetSyncMethod(TSyncMethod::smThreadSync); // the value it has: no error
    try {
        f.port->SetSyncMethod(TSyncMethod::smNone);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 14);
        EXPECT_EQ(e.OSErrorCode(), -1);
        EXPECT_STREQ(e.what(), "Cannot set property while connected");
    }
    EXPECT_EQ(f.port->SyncMethod(), TSyncMethod::smThreadSync);
    f.port->Close();
    f.port->SetSyncMethod(TSyncMethod::smWindowSync);
    EXPECT_EQ(f.port->SyncMethod(), TSyncMethod::smWindowSync);
}

TEST(Settings, PortNameChangeReopensAnOpenPort)
{
    PortFixture f;
    f.port->SetPort("com1"); // case counts: a change, on a closed port only stored
    EXPECT_TRUE(f.device->Calls().empty());
    f.OpenQuietly();
    f.port->SetPort("com1");
    EXPECT_TRUE(f.device->Calls().empty());
    f.port->SetPort("COM7");
    EXPECT_TRUE(f.port->Connected());
    const auto names = f.device->CallNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], "Purge");
    EXPECT_EQ(names[1], "Close");
    EXPECT_EQ(names[2], "Open");
    EXPECT_EQ(f.device->Calls("Open").back().text, "COM7");
}

TEST(Settings, FailedReopenLeavesThePortClosedWithTheNewName)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Fail("Open", 2);
    EXPECT_THROW(f.port->SetPort("COM9"), EComPort);
    EXPECT_FALSE(f.port->Connected());
    EXPECT_EQ(f.port->Port(), "COM9");
}

TEST(Settings, FailedCloseDuringRenameLeavesThePortOpenOnTheOldDevice)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Fail("Purge", 6);
    try {
        f.port->SetPort("COM9");
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 5);
    }
    EXPECT_TRUE(f.port->Connected());
    EXPECT_EQ(f.port->Port(), "COM9");
    EXPECT_EQ(f.device->CallCount("Close"), 0u);
}

TEST(Settings, ApplyFailureOnAnOpenPortKeepsTheNewValue)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Fail("SetState", 87);
    try {
        f.port->SetBaudRate(TBaudRate::br300);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 7);
        EXPECT_EQ(e.OSErrorCode(), 87);
    }
    EXPECT_EQ(f.port->BaudRate(), TBaudRate::br300);
    EXPECT_TRUE(f.port->Connected());
}

TEST(Settings, EventsChangeOnAnOpenPortKeepsTheRunningMask)
{
    PortFixture f;
    f.port->SetEvents({TComEvent::evRxChar});
    f.port->Open();
    f.port->SetEvents({TComEvent::evRing, TComEvent::evBreak});
    EXPECT_EQ(f.device->Calls("SetEventMask").size(), 1u);
    EXPECT_EQ(f.device->EventMask(), 0x0001u);
    f.port->Close();
}

TEST(Settings, LoadingAndDesigningStatesStoreOnly)
{
    MainThreadDispatcher dispatcher;
    auto fake = std::make_unique<test::FakeCommDevice>();
    test::FakeCommDevice& device = *fake;
    test::StatefulPort port(nullptr, std::move(fake), &dispatcher);
    port.SetEvents({});
    port.SetLoading(true);
    port.SetConnected(true); // only stored while loading
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(device.Calls().empty());
    port.SetBaudRate(TBaudRate::br1200);
    EXPECT_TRUE(device.Calls().empty());
    port.Loaded(); // opens the port stored as connected
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(device.CallCount("Open"), 1u);
    EXPECT_EQ(device.Calls("SetState").back().dcb->BaudRate, 1200u);
    port.Close();

    // Open called directly while loading opens but leaves the device's configuration alone.
    device.ClearCalls();
    port.SetLoading(true);
    port.Open();
    EXPECT_EQ(device.CallNames(),
              (std::vector<std::string>{"Open", "ModemStatus", "ModemStatus", "ModemStatus"}));
    port.SetLoading(false);
    port.Close();

    // While designing, Open and Close do nothing.
    device.ClearCalls();
    port.SetDesigning(true);
    port.Open();
    EXPECT_TRUE(device.Calls().empty());
}

TEST(Settings, LoadedShowsAFailedOpenAndStaysClosed)
{
    MainThreadDispatcher dispatcher;
    std::vector<std::string> shown;
    dispatcher.SetExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& ex) {
            shown.push_back(ex.what());
        }
    });
    auto fake = std::make_unique<test::FakeCommDevice>();
    fake->Fail("Open", 2);
    test::StatefulPort port(nullptr, std::move(fake), &dispatcher);
    port.SetLoading(true);
    port.SetConnected(true);
    port.Loaded();
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(shown, std::vector<std::string>{"Unable to open com port (win error code: 2)"});
}

} // namespace
} // namespace lantorvix
