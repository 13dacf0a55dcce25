#include <gtest/gtest.h>

#include "port_fixture.h"
#include "serial/device_name.h"

namespace lantorvix {
namespace {

using test::PortFixture;

TEST(OpenClose, DefaultOpenSequenceAndDeviceConfiguration)
{
    PortFixture f;
    f.port->SetEvents({});
    f.port->Open();
    EXPECT_TRUE(f.port->Connected());
    EXPECT_FALSE(f.port->WatchThreadActive());
    EXPECT_EQ(f.device->CallNames(),
              (std::vector<std::string>{"Open", "SetupQueues", "SetState", "SetTimeouts", "ModemStatus",
                                        "ModemStatus", "ModemStatus"}));
    EXPECT_EQ(f.device->Calls("Open")[0].text, "COM1");
    EXPECT_EQ(f.device->Calls("SetupQueues")[0].args, (std::vector<std::uint64_t>{1024, 1024}));

    Dcb expected;
    expected.DCBlength = 28;
    expected.BaudRate = 9600;
    expected.Flags = 0x0001;
    expected.XonLim = 256;
    expected.XoffLim = 256;
    expected.ByteSize = 8;
    expected.Parity = 0;
    expected.StopBits = 0;
    expected.XonChar = 17;
    expected.XoffChar = 19;
    EXPECT_EQ(f.LastDcb(), expected);

    const CommTimeouts t = *f.device->Calls("SetTimeouts")[0].timeouts;
    EXPECT_EQ(t, (CommTimeouts{0xFFFFFFFFu, 0, 0, 100, 1000}));
}

TEST(OpenClose, TimeoutsPassAsUnsignedPatterns)
{
    PortFixture f;
    TComTimeouts& t = f.port->Timeouts();
    t.SetReadInterval(-2);
    t.SetReadTotalMultiplier(-1);
    t.SetReadTotalConstant(0x7FFFFFFF);
    t.SetWriteTotalMultiplier(-2147483647 - 1);
    t.SetWriteTotalConstant(7);
    EXPECT_EQ(f.port->BuildTimeouts(),
              (CommTimeouts{0xFFFFFFFEu, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 7u}));
}

TEST(OpenClose, DcbBaudRateForEveryValue)
{
    const std::uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                   19200, 38400, 56000, 57600, 115200, 128000, 256000};
    PortFixture f;
    f.port->SetCustomBaudRate(31250);
    for (int i = 1; i <= 15; ++i) {
        f.port->SetBaudRate(static_cast<TBaudRate>(i));
        EXPECT_EQ(f.port->BuildDcb().BaudRate, rates[i - 1]) << i;
    }
    f.port->SetBaudRate(TBaudRate::brCustom);
    EXPECT_EQ(f.port->BuildDcb().BaudRate, 31250u);
}

TEST(OpenClose, DcbCharacterFormat)
{
    PortFixture f;
    for (int i = 0; i < 4; ++i) {
        f.port->SetDataBits(static_cast<TDataBits>(i));
        EXPECT_EQ(f.port->BuildDcb().ByteSize, 5 + i);
    }
    for (int i = 0; i < 5; ++i) {
        f.port->Parity().SetBits(static_cast<TParityBits>(i));
        EXPECT_EQ(f.port->BuildDcb().Parity, i);
    }
    for (int i = 0; i < 3; ++i) {
        f.port->SetStopBits(static_cast<TStopBits>(i));
        EXPECT_EQ(f.port->BuildDcb().StopBits, i);
    }
}

TEST(OpenClose, DcbFlagsOneByOne)
{
    struct Case {
        const char* name;
        std::function<void(TComPort&)> set;
        std::uint32_t flags; // besides fBinary
    };
    const std::vector<Case> cases = {
        {"Check", [](TComPort& p) { p.Parity().SetCheck(true); }, 0x0002},
        {"OutCTSFlow", [](TComPort& p) { p.FlowControl().SetOutCTSFlow(true); }, 0x0004},
        {"OutDSRFlow", [](TComPort& p) { p.FlowControl().SetOutDSRFlow(true); }, 0x0008},
        {"dtrEnable", [](TComPort& p) { p.FlowControl().SetControlDTR(TDTRFlowControl::dtrEnable); }, 0x0010},
        {"dtrHandshake", [](TComPort& p) { p.FlowControl().SetControlDTR(TDTRFlowControl::dtrHandshake); },
         0x0020},
        {"DSRSensitivity", [](TComPort& p) { p.FlowControl().SetDSRSensitivity(true); }, 0x0040},
        {"TxContinueOnXoff", [](TComPort& p) { p.FlowControl().SetTxContinueOnXoff(true); }, 0x0080},
        {"XonXoffOut", [](TComPort& p) { p.FlowControl().SetXonXoffOut(true); }, 0x0100},
        {"XonXoffIn", [](TComPort& p) { p.FlowControl().SetXonXoffIn(true); }, 0x0200},
        {"Check+Replace",
         [](TComPort& p) {
             p.Parity().SetCheck(true);
             p.Parity().SetReplace(true);
         },
         0x0402},
        {"Replace alone", [](TComPort& p) { p.Parity().SetReplace(true); }, 0x0000},
        {"DiscardNull", [](TComPort& p) { p.SetDiscardNull(true); }, 0x0800},
        {"rtsEnable", [](TComPort& p) { p.FlowControl().SetControlRTS(TRTSFlowControl::rtsEnable); }, 0x1000},
        {"rtsHandshake", [](TComPort& p) { p.FlowControl().SetControlRTS(TRTSFlowControl::rtsHandshake); },
         0x2000},
        {"rtsToggle", [](TComPort& p) { p.FlowControl().SetControlRTS(TRTSFlowControl::rtsToggle); }, 0x3000},
        {"fcHardware", [](TComPort& p) { p.FlowControl().SetFlowControl(TFlowControl::fcHardware); }, 0x2004},
        {"fcSoftware", [](TComPort& p) { p.FlowControl().SetFlowControl(TFlowControl::fcSoftware); }, 0x0300},
    };
    for (const auto& c : cases) {
        PortFixture f;
        c.set(*f.port);
        EXPECT_EQ(f.port->BuildDcb().Flags, 0x0001u | c.flags) << c.name;
    }
}

TEST(OpenClose, DcbCharactersAndLimits)
{
    PortFixture f;
    TComPort& p = *f.port;
    p.Parity().SetReplaceChar('*');
    p.Parity().SetReplace(true);
    EXPECT_EQ(p.BuildDcb().ErrorChar, 0) << "Replace without Check";
    p.Parity().SetCheck(true);
    EXPECT_EQ(p.BuildDcb().ErrorChar, '*');
    p.SetEventChar('\r');
    p.FlowControl().SetXonChar('a');
    p.FlowControl().SetXoffChar('b');
    const Dcb d = p.BuildDcb();
    EXPECT_EQ(d.EvtChar, '\r');
    EXPECT_EQ(d.XonChar, 'a');
    EXPECT_EQ(d.XoffChar, 'b');
    EXPECT_EQ(d.EofChar, 0);
    EXPECT_EQ(d.wReserved, 0);
    EXPECT_EQ(d.wReserved1, 0);

    struct Case {
        std::int32_t input;
        std::uint16_t limit;
    };
    for (const Case c : {Case{1024, 256}, Case{4098, 1024}, Case{262144, 0}, Case{6, 1}, Case{0, 0}}) {
        p.Buffer().SetInputSize(c.input);
        EXPECT_EQ(p.BuildDcb().XonLim, c.limit) << c.input;
        EXPECT_EQ(p.BuildDcb().XoffLim, c.limit) << c.input;
    }
}

TEST(OpenClose, InputSizeChangeOnAnOpenPortOnlySetsUpTheQueues)
{
    PortFixture f;
    f.OpenQuietly();
    f.port->Buffer().SetInputSize(4096);
    EXPECT_EQ(f.device->CallNames(), std::vector<std::string>{"SetupQueues"});
    f.port->SetBaudRate(TBaudRate::br19200);
    EXPECT_EQ(f.LastDcb().XonLim, 1024);
}

TEST(OpenClose, NotificationOrder)
{
    std::vector<std::string> log;
    PortFixture f;
    TComPort& p = *f.port;
    f.device->SetModemStatus(ms::CTS_ON | ms::RLSD_ON);
    p.OnBeforeOpen = [&](TCustomComPort&) {
        log.push_back("BeforeOpen connected=" + std::to_string(p.Connected()));
    };
    p.OnAfterOpen = [&](TCustomComPort&) {
        log.push_back("AfterOpen connected=" + std::to_string(p.Connected()));
    };
    p.OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
    p.OnAfterClose = [&](TCustomComPort&) {
        log.push_back("AfterClose open=" + std::to_string(f.device->IsOpen()));
    };
    p.OnCTSChange = [&](TCustomComPort&, bool on) { log.push_back("CTS " + std::to_string(on)); };
    p.OnDSRChange = [&](TCustomComPort&, bool on) { log.push_back("DSR " + std::to_string(on)); };
    p.OnRLSDChange = [&](TCustomComPort&, bool on) { log.push_back("RLSD " + std::to_string(on)); };
    p.SetEvents({});
    p.Open();
    p.Open(); // already open: nothing
    p.Close();
    p.Close(); // already closed: nothing
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen connected=0", "AfterOpen connected=1", "CTS 1",
                                             "DSR 0", "RLSD 1", "CTS 0", "DSR 0", "RLSD 0", "BeforeClose",
                                             "AfterClose open=0"}));
}

TEST(OpenClose, CloseSequence)
{
    PortFixture f;
    f.OpenQuietly();
    f.port->Close();
    EXPECT_EQ(f.device->CallNames(), (std::vector<std::string>{"Purge", "Close"}));
    EXPECT_EQ(f.device->Calls("Purge")[0].args, std::vector<std::uint64_t>{0x0003});
    EXPECT_FALSE(f.port->Connected());
}

// A failure at each step of Open leaves the port closed and the device closed again.
TEST(OpenClose, OpenFailureStates)
{
    struct Case {
        const char* operation;
        int code;
        bool handleClosedAgain;
    };
    for (const Case c : {Case{"Open", 1, false}, Case{"SetupQueues", 9, true}, Case{"SetState", 7, true},
                         Case{"SetTimeouts", 8, true}}) {
        std::vector<std::string> log;
        PortFixture f;
        f.port->OnBeforeOpen = [&](TCustomComPort&) { log.push_back("BeforeOpen"); };
        f.port->OnAfterOpen = [&](TCustomComPort&) { log.push_back("AfterOpen"); };
        f.device->Fail(c.operation, 31);
        try {
            f.port->Open();
            ADD_FAILURE() << c.operation << ": no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), c.code) << c.operation;
            EXPECT_EQ(e.OSErrorCode(), 31) << c.operation;
        }
        EXPECT_FALSE(f.port->Connected()) << c.operation;
        EXPECT_FALSE(f.device->IsOpen()) << c.operation;
        EXPECT_EQ(f.device->CallCount("Close"), c.handleClosedAgain ? 1u : 0u) << c.operation;
        EXPECT_EQ(f.device->CallCount("WaitForEvents") + f.device->CallCount("SetEventMask"), 0u);
        EXPECT_EQ(log, std::vector<std::string>{"BeforeOpen"}) << c.operation;
    }
}

TEST(OpenClose, MissingDeviceMessage)
{
    PortFixture f;
    f.device->Fail("Open", 2);
    try {
        f.port->Open();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    }
}

TEST(OpenClose, AfterOpenHandlerFailureLeavesThePortOpen)
{
    PortFixture f;
    f.port->SetEvents({});
    f.port->OnAfterOpen = [](TCustomComPort&) { throw std::runtime_error("handler"); };
    EXPECT_THROW(f.port->Open(), std::runtime_error);
    EXPECT_TRUE(f.port->Connected());
    f.port->Close();
}

TEST(OpenClose, PurgeFailureInterruptsClose)
{
    std::vector<std::string> log;
    PortFixture f;
    f.OpenQuietly();
    f.port->OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
    f.port->OnAfterClose = [&](TCustomComPort&) { log.push_back("AfterClose"); };
    f.device->FailOnce("Purge", 6);
    try {
        f.port->Close();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 5);
        EXPECT_STREQ(e.what(), "PurgeComm function failed (win error code: 6)");
    }
    EXPECT_TRUE(f.port->Connected());
    EXPECT_TRUE(f.device->IsOpen());
    EXPECT_EQ(log, std::vector<std::string>{"BeforeClose"});
    f.port->Close();
    EXPECT_FALSE(f.port->Connected());
}

// Unreadable modem lines at open are reported off; the open stands.
TEST(OpenClose, UnreadableModemLinesAtOpenCountAsOff)
{
    std::vector<bool> states;
    PortFixture f;
    f.device->SetModemStatus(ms::CTS_ON | ms::DSR_ON | ms::RLSD_ON);
    f.device->Fail("ModemStatus", 1);
    f.port->OnCTSChange = [&](TCustomComPort&, bool on) { states.push_back(on); };
    f.port->OnDSRChange = [&](TCustomComPort&, bool on) { states.push_back(on); };
    f.port->OnRLSDChange = [&](TCustomComPort&, bool on) { states.push_back(on); };
    f.port->SetEvents({});
    EXPECT_NO_THROW(f.port->Open());
    EXPECT_TRUE(f.port->Connected());
    EXPECT_EQ(states, (std::vector<bool>{false, false, false}));
}

TEST(OpenClose, Queries)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Receive("hello");
    EXPECT_EQ(f.port->InputCount(), 5);

    struct Lines {
        std::uint32_t status;
        TModemLines lines;
    };
    using L = TModemLine;
    for (const Lines c :
         {Lines{0, {}}, Lines{0x10, {L::mlCTS}}, Lines{0x20, {L::mlDSR}}, Lines{0x40, {L::mlRing}},
          Lines{0x80, {L::mlRLSD}}, Lines{0xFF, {L::mlCTS, L::mlDSR, L::mlRing, L::mlRLSD}}}) {
        f.device->SetModemStatus(c.status);
        EXPECT_EQ(f.port->ModemSignals(), c.lines) << c.status;
    }

    f.device->Fail("ClearErrors", 6);
    try {
        f.port->InputCount();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 10);
        EXPECT_EQ(e.OSErrorCode(), 6);
    }
    EXPECT_THROW(f.port->ReadLineErrors(), EComPort);
    f.device->Fail("ModemStatus", 6);
    try {
        f.port->ModemSignals();
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 11);
    }
}

TEST(OpenClose, LineErrorFlagMapping)
{
    using E = TComError;
    struct Case {
        std::uint32_t flags;
        bool check;
        TComErrors errors;
    };
    const Case cases[] = {
        {ce::FRAME, false, {E::ceFrame}},
        {ce::RXPARITY, false, {}},
        {ce::RXPARITY, true, {E::ceRxParity}},
        {ce::OVERRUN, false, {E::ceOverrun}},
        {ce::RXOVER, false, {E::ceRxOver}},
        {ce::TXFULL, false, {E::ceTxFull}},
        {ce::BREAK, false, {E::ceBreak}},
        {ce::IOE, false, {E::ceIO}},
        {ce::MODE, false, {E::ceMode}},
        {ce::PTO | ce::DNS | ce::OOP, false, {}},
        {0xFFFFFFFF,
         true,
         {E::ceFrame, E::ceRxParity, E::ceOverrun, E::ceBreak, E::ceIO, E::ceMode, E::ceRxOver, E::ceTxFull}},
    };
    for (const auto& c : cases) {
        PortFixture f;
        f.port->Parity().SetCheck(c.check);
        f.OpenQuietly();
        f.device->SetErrorFlags(c.flags);
        EXPECT_EQ(f.port->ReadLineErrors(), c.errors) << std::hex << c.flags;
        EXPECT_EQ(f.port->ReadLineErrors(), TComErrors{}) << "flags are cleared by the read";
    }
}

TEST(OpenClose, DestructionClosesThePort)
{
    MainThreadDispatcher dispatcher;
    auto fake = std::make_unique<test::FakeCommDevice>();
    test::FakeCommDevice* device = fake.get();
    bool afterClose = false;
    {
        TComPort port(nullptr, std::move(fake), &dispatcher);
        port.SetEvents({});
        port.OnAfterClose = [&](TCustomComPort&) { afterClose = true; };
        port.Open();
        // The fake lives inside the port: look at it before the port goes.
        EXPECT_TRUE(device->IsOpen());
    }
    EXPECT_TRUE(afterClose);
}

TEST(DeviceName, FormsOfThePortName)
{
    EXPECT_EQ(Win32DeviceName("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(Win32DeviceName("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(PosixDeviceName("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(PosixDeviceName("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(PosixDeviceName("/tmp/sim"), "/tmp/sim");
}

} // namespace
} // namespace lantorvix
