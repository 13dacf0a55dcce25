// Scanner input: receptions cut into codes, zero stripping, added key, time-out, overflow,
// and the sound handling of key-sender failures and stuck modifiers.

#include "tform1_fixture.h"

#include "support/wait_until.h"

namespace lantorvix::test {
namespace {

struct ScanCase {
    const char* name;
    std::string ini; // [SCANNER]/[PROGRAM] lines
    std::vector<std::string> receptions;
    std::string typed; // on the US keyboard: "\n" Enter, "\t" Tab
    std::string bufferAfter;
    bool timerAfter;
};

class ScanExamples : public TForm1Test, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(ScanExamples, TypeEveryCompleteCodeInOrder)
{
    const ScanCase& c = GetParam();
    StartWithPort(c.ini);
    for (const auto& r : c.receptions) {
        Receive(r);
    }
    EXPECT_EQ(keyboard.TypedText(), c.typed);
    EXPECT_EQ(form->ScanBuffer(), c.bufferAfter);
    EXPECT_EQ(shell.timer, c.timerAfter);
    EXPECT_TRUE(keyboard.KeysDown().empty());
    EXPECT_TRUE(shell.boxes.empty());
}

const std::string kEnterAdded = "[SCANNER]\nStopString=ENTER\n[PROGRAM]\nAddedString=ENTER\nDiscardNull=1\n";

INSTANTIATE_TEST_SUITE_P(
    Codes, ScanExamples,
    ::testing::Values(
        // The worked examples: stop CR LF, ENTER added, zeros stripped.
        ScanCase{"SplitCode", kEnterAdded, {"0012", "34\r\n"}, "1234\n", "", false},
        ScanCase{"TwoCodesAndAStart", kEnterAdded, {"12\r\n34\r\n5"}, "12\n34\n", "5", false},
        ScanCase{"EmptyCode", kEnterAdded, {"\r\n"}, "\n", "", false},
        ScanCase{"AllZeros", kEnterAdded, {"0000\r\n"}, "0\n", "", false},
        ScanCase{"LoneZero", kEnterAdded, {"0\r\n"}, "0\n", "", false},
        ScanCase{
            "ZerosOnlyInFront", kEnterAdded, {"0012A0\r\n1000\r\n007\r\n"}, "12A0\n1000\n7\n", "", false},
        ScanCase{
            "ZerosKept", "[PROGRAM]\nAddedString=ENTER\nDiscardNull=0\n", {"007\r\n"}, "007\n", "", false},
        ScanCase{"IncompleteCodeWaits", kEnterAdded, {"12", "3"}, "", "123", true},
        ScanCase{"TabAdded", "[PROGRAM]\nAddedString=TAB\n", {"5\r\n6\r\n"}, "5\t6\t", "", false},
        ScanCase{"NothingAdded", "", {"5\r\n6\r\n"}, "56", "", false},
        ScanCase{"CrStop",
                 "[SCANNER]\nStopString=CR\n[PROGRAM]\nAddedString=ENTER\n",
                 {"12\r34\r"},
                 "12\n34\n",
                 "",
                 false},
        ScanCase{"CrStopLeavesTheLineFeed", "[SCANNER]\nStopString=CR\n", {"12\r\n"}, "12", "\n", false},
        ScanCase{"CommandsInACodeKeepTheirMeaning", "", {"a+b~c\r\n"}, "aB\nc", "", false},
        ScanCase{"NulEndsTheTypedText",
                 "[PROGRAM]\nAddedString=ENTER\n",
                 {std::string("12\0"
                              "34\r\n",
                              7)},
                 "12",
                 "",
                 false},
        // With LiteralCodes a label is data: every command character arrives as itself, and
        // the added key still acts.
        ScanCase{"LiteralCodes",
                 "[PROGRAM]\nAddedString=ENTER\nLiteralCodes=1\n",
                 {"%{F4}x+a(b)~^c{}\r\n", "https://example.com/p?id=A+B%20C\r\n",
                  "(01)09501101530003(17)141231\r\n"},
                 "%{F4}x+a(b)~^c{}\nhttps://example.com/p?id=A+B%20C\n(01)09501101530003(17)141231\n",
                 "",
                 false}),
    [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST_F(TForm1Test, TimerStartsWithTheFirstReceptionAndIsNotRestarted)
{
    StartWithPort();
    Receive("1");
    Receive("2");
    EXPECT_EQ(std::count(shell.calls.begin(), shell.calls.end(), "timer on"), 1);
    Receive("\r\n");
    EXPECT_FALSE(shell.timer);
    EXPECT_EQ(keyboard.TypedText(), "12");
}

TEST_F(TForm1Test, TimedOutCodeIsDiscardedWithTheWholeNextReception)
{
    StartWithPort("[PROGRAM]\nAddedString=ENTER\n");
    Receive("12");
    ASSERT_TRUE(shell.Tick());
    EXPECT_TRUE(form->ScanTimedOut());
    ASSERT_TRUE(shell.Tick()); // ticking on keeps the flag set
    Receive("34\r\n");         // complete, but lost with the timed-out start
    EXPECT_EQ(keyboard.TypedText(), "");
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_FALSE(form->ScanTimedOut());
    EXPECT_FALSE(shell.timer);
    EXPECT_EQ(device->QueuedBytes(), 0u);
    Receive("56\r\n");
    EXPECT_EQ(keyboard.TypedText(), "56\n");
}

// The largest 2D symbols hold about 7,000 characters: a code of 8,192 is typed whole, and the
// buffer's edge works as before one byte further out.
TEST_F(TForm1Test, LongCodesAreTypedAndTheBufferEdgeStays)
{
    const std::size_t limit = TForm1::kScanBufferLimit;
    ASSERT_GT(limit, 8192u + 2);
    StartWithPort();
    Receive(std::string(8192, 'L') + "\r\n");
    EXPECT_EQ(keyboard.TypedText(), std::string(8192, 'L'));
    keyboard.events.clear();

    Receive(std::string(limit - 3, 'a') + "\r\n"); // limit - 1: a code
    EXPECT_EQ(keyboard.TypedText(), std::string(limit - 3, 'a'));
    keyboard.events.clear();

    Receive(std::string(limit - 1, 'b'));
    EXPECT_EQ(form->ScanBuffer().size(), limit - 1);
    Receive("\r"); // limit with the first half of the stop string: dropped
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_TRUE(shell.timer) << "an overflow leaves the timer running";

    Receive(std::string(limit - 2, 'c') + "\r\n"); // limit in one reception, complete code included
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_EQ(keyboard.TypedText(), "");

    Receive(std::string(limit + 45, 'd') +
            "\r\n12\r\n"); // an oversized code does not take the next one along
    EXPECT_EQ(keyboard.TypedText(), "12");
    EXPECT_EQ(form->ScanBuffer(), "");
}

TEST_F(TForm1Test, CodesArrivingTogetherBeyondTheBufferSizeAreEachTyped)
{
    // A burst, or receptions held back while a code was typed: more than a buffer in one reception.
    StartWithPort();
    std::string burst;
    std::string expected;
    for (int i = 0; burst.size() <= TForm1::kScanBufferLimit; ++i) {
        const std::string code = std::to_string(4000000000000 + i);
        burst += code + "\r\n";
        expected += code;
    }
    Receive(burst + "99");
    EXPECT_EQ(keyboard.TypedText(), expected);
    EXPECT_EQ(form->ScanBuffer(), "99");
}

TEST_F(TForm1Test, EmptyReceptionDoesNothing)
{
    StartWithPort();
    form->ComPortRxChar(0);
    form->ComPortRxChar(-3);
    EXPECT_FALSE(shell.timer);
    EXPECT_TRUE(device->Calls("BeginRead").empty());
}

TEST_F(TForm1Test, KeySenderFailureIsShownAndReceptionGoesOn)
{
    StartWithPort("[PROGRAM]\nAddedString=ENTER\n");
    Receive("{a x}\r\n7\r\n");
    ASSERT_EQ(shell.boxes.size(), 1u);
    EXPECT_EQ(shell.boxes[0].text, "'X' is not a valid integer value.");
    EXPECT_EQ(shell.boxes[0].caption, form->Title());
    EXPECT_EQ(shell.boxes[0].kind, BoxKind::error);
    EXPECT_EQ(keyboard.TypedText(), "7\n");
    EXPECT_EQ(form->ScanBuffer(), "");
    EXPECT_FALSE(shell.timer);
}

TEST_F(TForm1Test, NoModifierIsLeftDownAfterACode)
{
    StartWithPort();
    Receive("+(ab\r\n^(c\r\n");
    EXPECT_EQ(keyboard.TypedText(), "AB<^67>");
    EXPECT_TRUE(keyboard.KeysDown().empty());
}

TEST_F(TForm1Test, WindowChoicesActOnTheNextReceptionWithoutSaving)
{
    StartWithPort();
    const std::string before = ReadIni();
    shell.UserSelect(ComboBox::cmbStop, 1);
    shell.UserSelect(ComboBox::cmbAdd, 2);
    shell.UserCheck(CheckBox::chkDiscNull, false);
    Receive("007\r");
    EXPECT_EQ(keyboard.TypedText(), "007\t");
    EXPECT_EQ(ReadIni(), before);
}

TEST_F(TForm1Test, ReceptionsDeliveredByThePortsEventThreadAreTyped)
{
    StartWithPort("[PROGRAM]\nAddedString=ENTER\n");
    device->ReceiveWithEvent("42\r\n");
    EXPECT_TRUE(dispatcher.ServeUntil([&] { return keyboard.events.size() >= 6; }, std::chrono::seconds(10)));
    EXPECT_EQ(keyboard.TypedText(), "42\n");
}

} // namespace
} // namespace lantorvix::test
