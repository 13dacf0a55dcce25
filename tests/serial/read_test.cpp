#include <gtest/gtest.h>

#include <thread>

#include "port_fixture.h"

namespace lantorvix {
namespace {

using test::PortFixture;

TEST(Read, ReadTextTakesWhatIsQueuedUpToCount)
{
    PortFixture f;
    f.OpenQuietly();
    std::string s = "junk";
    EXPECT_EQ(f.port->ReadText(s, 0), 0);
    EXPECT_EQ(s, "");
    s = "junk";
    EXPECT_EQ(f.port->ReadText(s, -1), 0);
    EXPECT_EQ(s, "");
    EXPECT_EQ(f.device->CallCount("BeginRead"), 0u) << "no read for a count of 0 or less";

    f.device->Receive(std::string("ab\0\xFF", 4));
    EXPECT_EQ(f.port->ReadText(s, 10), 4);
    EXPECT_EQ(s, std::string("ab\0\xFF", 4));

    f.device->Receive("12345");
    EXPECT_EQ(f.port->ReadText(s, 3), 3);
    EXPECT_EQ(s, "123");
    EXPECT_EQ(f.device->QueuedBytes(), 2u);
    EXPECT_EQ(f.port->ReadText(s, 3), 2);
    EXPECT_EQ(s, "45");
}

TEST(Read, ReadBytesFillsExactlyWhatWasRead)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->Receive("ABCDEFGH");
    char buffer[12];
    std::fill(std::begin(buffer), std::end(buffer), '.');
    EXPECT_EQ(f.port->ReadBytes(buffer, 8), 8);
    EXPECT_EQ(std::string(buffer, 12), "ABCDEFGH....");
    EXPECT_EQ(f.port->ReadBytes(buffer, -5), 0);
    EXPECT_EQ(f.device->Calls("BeginRead").back().args, std::vector<std::uint64_t>{0}) << "never a huge size";
}

TEST(Read, TransferLifecycle)
{
    PortFixture f;
    f.OpenQuietly();
    PPortTransfer t;
    f.port->NewTransfer(t);
    ASSERT_TRUE(t);
    EXPECT_EQ(f.port->AwaitTransfer(t), 0) << "nothing started: returns at once";
    f.device->Receive("xy");
    char buffer[4] = {};
    EXPECT_EQ(f.port->BeginReadBytes(buffer, 4, t), 2);
    EXPECT_EQ(t->Kind, TTransferKind::xkRead);
    EXPECT_EQ(f.port->AwaitTransfer(t), 2);
    TCustomComPort::DisposeTransfer(t);
    EXPECT_FALSE(t);
}

TEST(Read, MissingTransferIsCodeFour)
{
    PortFixture f;
    f.OpenQuietly();
    PPortTransfer none;
    char buffer[1];
    for (int i = 0; i < 2; ++i) {
        try {
            i == 0 ? f.port->BeginReadBytes(buffer, 1, none) : f.port->AwaitTransfer(none);
            FAIL() << "no error";
        } catch (const EComPort& e) {
            EXPECT_EQ(e.PortErrorCode(), 4);
            EXPECT_EQ(e.OSErrorCode(), -1);
            EXPECT_STREQ(e.what(), "Invalid Async parameter");
        }
    }
    EXPECT_EQ(f.device->CallCount("BeginRead"), 0u);
}

TEST(Read, FailuresAreCodeThreeWithTheOsCode)
{
    PortFixture f;
    f.OpenQuietly();
    std::string s;
    f.device->FailOnce("BeginRead", 5);
    try {
        f.port->ReadText(s, 4);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 3);
        EXPECT_EQ(e.OSErrorCode(), 5);
    }
    EXPECT_EQ(s.size(), 4u) << "Str keeps the asked length";
    f.device->FailOnce("AwaitTransfer", 6);
    try {
        f.port->ReadText(s, 4);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_STREQ(e.what(), "ReadFile function failed (win error code: 6)");
    }
}

TEST(Read, AwaitOfAWriteFailsWithCodeTwo)
{
    PortFixture f;
    f.OpenQuietly();
    PPortTransfer t;
    f.port->NewTransfer(t);
    f.device->FailOnce("AwaitTransfer", 31);
    try {
        f.port->AwaitTransfer(t);
        FAIL() << "no error";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.PortErrorCode(), 2);
    }
}

TEST(Read, ReadLinkNoticesWhenTheQueueEmpties)
{
    std::vector<bool> rx;
    TPortLink link;
    PortFixture f;
    f.OpenQuietly();
    link.OnRx = [&](TCustomComPort&, bool on) { rx.push_back(on); };
    f.port->RegisterLink(link);
    f.device->Receive("abc");
    std::string s;
    f.port->ReadText(s, 2);
    EXPECT_TRUE(rx.empty()) << "a byte is still queued";
    f.port->ReadText(s, 2);
    EXPECT_EQ(rx, std::vector<bool>{false});
    f.port->UnregisterLink(link);
}

TEST(Read, PendingReadFinishesWithCodeThreeWhenCloseAborts)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->SetReadsPend(true);
    std::atomic<int> code{0};
    std::thread reader([&] {
        std::string s;
        try {
            f.port->ReadText(s, 4);
        } catch (const EComPort& e) {
            code = e.PortErrorCode();
        }
    });
    ASSERT_TRUE(test::WaitUntil([&] { return f.device->CallCount("AwaitTransfer") == 1; }));
    f.port->AbortTransfers();
    reader.join();
    EXPECT_EQ(code.load(), 3);
}

TEST(Read, PendingReadCompletes)
{
    PortFixture f;
    f.OpenQuietly();
    f.device->SetReadsPend(true);
    std::string s;
    PPortTransfer t;
    f.port->NewTransfer(t);
    EXPECT_EQ(f.port->BeginReadText(s, 3, t), 0);
    f.device->Receive("qrs");
    f.device->CompletePendingReads();
    EXPECT_EQ(f.port->AwaitTransfer(t), 3);
    EXPECT_EQ(s, "qrs");
}

} // namespace
} // namespace lantorvix
