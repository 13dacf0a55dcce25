#include <gtest/gtest.h>

#include "port_fixture.h"
#include "serial/com_events.h"

namespace lantorvix {
namespace {

using test::PortFixture;

TEST(EventMask, TranslationBothWays)
{
    using E = TComEvent;
    const std::pair<E, std::uint32_t> table[] = {
        {E::evRxChar, 0x0001}, {E::evTxEmpty, 0x0004},  {E::evRxFlag, 0x0002}, {E::evRing, 0x0100},
        {E::evBreak, 0x0040},  {E::evCTS, 0x0008},      {E::evDSR, 0x0010},    {E::evError, 0x0080},
        {E::evRLSD, 0x0020},   {E::evRx80Full, 0x0400},
    };
    for (const auto& [event, bit] : table) {
        EXPECT_EQ(ComEventsToMask(TComEvents{event}), bit);
        EXPECT_EQ(MaskToComEvents(bit), TComEvents{event});
    }
    EXPECT_EQ(ComEventsToMask({}), 0u);
    EXPECT_EQ(ComEventsToMask(AllComEvents), 0x05FFu);
    EXPECT_EQ(MaskToComEvents(0x05FF), AllComEvents);
    EXPECT_EQ(MaskToComEvents(0x0200), TComEvents{}) << "EV_PERR is not in the table";
    EXPECT_EQ(MaskToComEvents(0xFFFFFA00u | 0x0001u), TComEvents{E::evRxChar});
}

struct Recorder {
    std::vector<std::string> log;
    void Attach(TComPort& p)
    {
        p.OnRxChar = [this](TCustomComPort&, std::int32_t n) {
            log.push_back("RxChar " + std::to_string(n));
        };
        p.OnRxBuf = [this](TCustomComPort&, const void* b, std::int32_t n) {
            log.push_back("RxBuf " + std::string(static_cast<const char*>(b), static_cast<std::size_t>(n)));
        };
        p.OnTxEmpty = [this](TCustomComPort&) { log.push_back("TxEmpty"); };
        p.OnBreak = [this](TCustomComPort&) { log.push_back("Break"); };
        p.OnRing = [this](TCustomComPort&) { log.push_back("Ring"); };
        p.OnRxFlag = [this](TCustomComPort&) { log.push_back("RxFlag"); };
        p.OnRx80Full = [this](TCustomComPort&) { log.push_back("Rx80Full"); };
        p.OnCTSChange = [this](TCustomComPort&, bool on) { log.push_back("CTS " + std::to_string(on)); };
        p.OnDSRChange = [this](TCustomComPort&, bool on) { log.push_back("DSR " + std::to_string(on)); };
        p.OnRLSDChange = [this](TCustomComPort&, bool on) { log.push_back("RLSD " + std::to_string(on)); };
        p.OnError = [this](TCustomComPort&, TComErrors e) {
            log.push_back("Error " + std::to_string(e.Bits()));
        };
    }
};

TEST(Dispatch, RxCharReportsTheWaitingCountWithoutReading)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    std::size_t queuedInHandler = 0;
    f.port->OnRxChar = [&](TCustomComPort&, std::int32_t n) {
        r.log.push_back("RxChar " + std::to_string(n));
        queuedInHandler = f.device->QueuedBytes();
    };
    f.device->Receive("12345");
    f.port->HandleRxChar();
    EXPECT_EQ(r.log, std::vector<std::string>{"RxChar 5"});
    EXPECT_EQ(queuedInHandler, 5u);
    r.log.clear();
    f.device->Purge(purge::RXCLEAR);
    f.port->HandleRxChar();
    EXPECT_TRUE(r.log.empty()) << "no handler for zero bytes";
}

TEST(Dispatch, NotReportingByCountReadsAndHandsOutTheBuffer)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    f.port->SetRxCharNotify(false);
    EXPECT_FALSE(f.port->ReportsByCount());
    f.device->Receive("abc");
    f.port->HandleRxChar();
    EXPECT_EQ(r.log, std::vector<std::string>{"RxBuf abc"});
    EXPECT_EQ(f.device->QueuedBytes(), 0u);
}

// The handed-out buffer holds only what was read, never an unfilled tail.
TEST(Dispatch, RxBufGetsOnlyTheBytesActuallyRead)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    f.port->SetRxCharNotify(false);
    f.device->Receive("abc");
    f.device->OverstateQueueCount(2);
    f.port->HandleRxChar();
    EXPECT_EQ(r.log, std::vector<std::string>{"RxBuf abc"});
}

TEST(Dispatch, LinkWithReceivedDataTakesTheBytes)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    std::vector<std::string> linkLog;
    TPortLink a;
    a.OnRxBuf = [&](TCustomComPort&, const void* b, std::int32_t n) {
        linkLog.push_back("a " + std::string(static_cast<const char*>(b), static_cast<std::size_t>(n)));
    };
    a.OnRx = [&](TCustomComPort&, bool on) { linkLog.push_back("a rx " + std::to_string(on)); };
    TPortLink b;
    b.OnRxBuf = [&](TCustomComPort&, const void* buf, std::int32_t n) {
        linkLog.push_back("b " + std::string(static_cast<const char*>(buf), static_cast<std::size_t>(n)));
    };
    f.port->RegisterLink(a);
    f.port->RegisterLink(b);
    EXPECT_FALSE(f.port->ReportsByCount());
    f.device->Receive("xyz");
    f.port->HandleRxChar();
    // Read once, shown to OnRxBuf and to each link in order; OnRxChar not called.
    EXPECT_EQ(r.log, std::vector<std::string>{"RxBuf xyz"});
    EXPECT_EQ(linkLog, (std::vector<std::string>{"a rx 1", "a rx 0", "a xyz", "b xyz"}));
    EXPECT_EQ(f.device->CallCount("BeginRead"), 1u);

    EXPECT_THROW(f.port->RegisterLink(a), EComPort);
    f.port->UnregisterLink(a);
    f.port->UnregisterLink(b);
    EXPECT_TRUE(f.port->ReportsByCount());
    try {
        f.port->UnregisterLink(a);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 18);
    }
}

TEST(Dispatch, ErrorEventFiresOnlyForMappedFlags)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    f.device->SetErrorFlags(ce::RXPARITY);
    f.port->HandleError();
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(f.device->CallCount("ClearErrors"), 1u) << "the flags are read (and cleared) anyway";

    f.port->Parity().SetCheck(true);
    f.device->SetErrorFlags(ce::RXPARITY);
    f.port->HandleError();
    f.device->SetErrorFlags(ce::FRAME | ce::OVERRUN);
    f.port->HandleError();
    f.device->SetErrorFlags(ce::PTO);
    f.port->HandleError();
    const TComErrors parity{TComError::ceRxParity};
    const TComErrors frameOverrun{TComError::ceFrame, TComError::ceOverrun};
    EXPECT_EQ(r.log, (std::vector<std::string>{"Error " + std::to_string(parity.Bits()),
                                               "Error " + std::to_string(frameOverrun.Bits())}));
}

TEST(Dispatch, SignalEventsReadTheLinesAfresh)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    f.device->SetModemStatus(ms::CTS_ON);
    f.port->HandleCTSChange();
    f.port->HandleDSRChange();
    f.device->SetModemStatus(ms::DSR_ON | ms::RLSD_ON);
    f.port->HandleDSRChange();
    f.port->HandleRLSDChange();
    f.port->HandleCTSChange();
    EXPECT_EQ(r.log, (std::vector<std::string>{"CTS 1", "DSR 0", "DSR 1", "RLSD 1", "CTS 0"}));
}

TEST(Dispatch, PlainEventsAndTheirLinkNotices)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    std::vector<std::string> linkLog;
    TPortLink link;
    link.OnTxEmpty = [&](TCustomComPort&) { linkLog.push_back("txempty"); };
    link.OnTx = [&](TCustomComPort&, bool on) { linkLog.push_back("tx " + std::to_string(on)); };
    link.OnRxFlag = [&](TCustomComPort&) { linkLog.push_back("rxflag"); };
    link.OnRing = [&](TCustomComPort&) { linkLog.push_back("ring"); };
    link.OnCTSChange = [&](TCustomComPort&, bool on) { linkLog.push_back("cts " + std::to_string(on)); };
    f.port->RegisterLink(link);
    f.port->HandleTxEmpty();
    f.port->HandleBreak();
    f.port->HandleRing();
    f.port->HandleRxFlag();
    f.port->HandleRx80Full();
    f.device->SetModemStatus(ms::CTS_ON);
    f.port->HandleCTSChange();
    EXPECT_EQ(r.log, (std::vector<std::string>{"TxEmpty", "Break", "Ring", "RxFlag", "Rx80Full", "CTS 1"}));
    EXPECT_EQ(linkLog, (std::vector<std::string>{"tx 0", "txempty", "ring", "rxflag", "cts 1"}));
    f.port->UnregisterLink(link);
}

TEST(Dispatch, ConnectionAndLineNoticesToLinksAtOpenAndClose)
{
    std::vector<std::string> log;
    TPortLink link;
    PortFixture f;
    link.OnConn = [&](TCustomComPort&, bool on) { log.push_back("conn " + std::to_string(on)); };
    link.OnCTSChange = [&](TCustomComPort&, bool on) { log.push_back("cts " + std::to_string(on)); };
    link.OnDSRChange = [&](TCustomComPort&, bool on) { log.push_back("dsr " + std::to_string(on)); };
    link.OnRLSDChange = [&](TCustomComPort&, bool on) { log.push_back("rlsd " + std::to_string(on)); };
    f.port->OnAfterOpen = [&](TCustomComPort&) { log.push_back("AfterOpen"); };
    f.port->OnBeforeClose = [&](TCustomComPort&) { log.push_back("BeforeClose"); };
    f.port->OnCTSChange = [&](TCustomComPort&, bool on) { log.push_back("CTS " + std::to_string(on)); };
    f.port->OnAfterClose = [&](TCustomComPort&) { log.push_back("AfterClose"); };
    f.port->RegisterLink(link);
    f.device->SetModemStatus(ms::CTS_ON | ms::DSR_ON);
    f.port->SetEvents({});
    f.port->Open();
    f.port->Close();
    EXPECT_EQ(log,
              (std::vector<std::string>{"conn 1", "AfterOpen", "cts 1", "CTS 1", "dsr 1", "rlsd 0", "cts 0",
                                        "dsr 0", "rlsd 0", "CTS 0", "BeforeClose", "conn 0", "AfterClose"}));
}

TEST(Dispatch, EmptyHandlersStillMakeTheirReads)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Receive("x");
    f.port->HandleRxChar();
    f.port->HandleCTSChange();
    f.port->HandleDSRChange();
    f.port->HandleRLSDChange();
    f.device->SetErrorFlags(ce::FRAME);
    f.port->HandleError();
    EXPECT_EQ(f.device->CallNames(), (std::vector<std::string>{"ClearErrors", "ModemStatus", "ModemStatus",
                                                               "ModemStatus", "ClearErrors"}));
    EXPECT_EQ(f.port->ReadLineErrors(), TComErrors{}) << "the error read cleared the flags";
}

TEST(Dispatch, FailingQueryStopsTheHandling)
{
    Recorder r;
    PortFixture f;
    f.OpenQuietly();
    r.Attach(*f.port);
    f.device->Receive("x");
    f.device->Fail("ClearErrors", 22);
    EXPECT_THROW(f.port->HandleRxChar(), EComPort);
    f.device->Fail("ModemStatus", 22);
    EXPECT_THROW(f.port->HandleCTSChange(), EComPort);
    EXPECT_TRUE(r.log.empty());
}

// A derived port reacts by overriding an emit operation instead of assigning a handler.
TEST(Dispatch, EmitOperationsAreOverridable)
{
    class CountingPort : public TComPort {
    public:
        using TComPort::TComPort;
        std::int32_t received = 0;

    protected:
        void EmitRxChar(std::int32_t Count) override { received += Count; }
    };
    MainThreadDispatcher dispatcher;
    auto fake = std::make_unique<test::FakeCommDevice>();
    test::FakeCommDevice& device = *fake;
    CountingPort port(nullptr, std::move(fake), &dispatcher);
    port.SetEvents({});
    port.Open();
    device.Receive("1234");
    port.HandleRxChar();
    EXPECT_EQ(port.received, 4);
}

} // namespace
} // namespace lantorvix
