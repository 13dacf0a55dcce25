#include <gtest/gtest.h>

#include "serial/com_conversions.h"

namespace lantorvix {
namespace {

TEST(Conversions, EnumerationsToTextInValueOrder)
{
    const char* baud[] = {"Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
                          "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(BaudRateToStr(static_cast<TBaudRate>(i)), baud[i]);
        EXPECT_EQ(StrToBaudRate(baud[i]), static_cast<TBaudRate>(i));
    }
    const char* stop[] = {"1", "1.5", "2"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(StopBitsToStr(static_cast<TStopBits>(i)), stop[i]);
        EXPECT_EQ(StrToStopBits(stop[i]), static_cast<TStopBits>(i));
    }
    const char* data[] = {"5", "6", "7", "8"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(DataBitsToStr(static_cast<TDataBits>(i)), data[i]);
        EXPECT_EQ(StrToDataBits(data[i]), static_cast<TDataBits>(i));
    }
    const char* parity[] = {"None", "Odd", "Even", "Mark", "Space"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(ParityToStr(static_cast<TParityBits>(i)), parity[i]);
        EXPECT_EQ(StrToParity(parity[i]), static_cast<TParityBits>(i));
    }
    const char* flow[] = {"Hardware", "Software", "None", "Custom"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FlowControlToStr(static_cast<TFlowControl>(i)), flow[i]);
        EXPECT_EQ(StrToFlowControl(flow[i]), static_cast<TFlowControl>(i));
    }
    const char* dtr[] = {"Disable", "Enable", "Handshake"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(DTRToStr(static_cast<TDTRFlowControl>(i)), dtr[i]);
        EXPECT_EQ(StrToDTR(dtr[i]), static_cast<TDTRFlowControl>(i));
    }
    const char* rts[] = {"Disable", "Enable", "Handshake", "Toggle"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RTSToStr(static_cast<TRTSFlowControl>(i)), rts[i]);
        EXPECT_EQ(StrToRTS(rts[i]), static_cast<TRTSFlowControl>(i));
    }
}

TEST(Conversions, TextToEnumerationIgnoresAsciiCaseOnlyAndFallsBack)
{
    EXPECT_EQ(StrToBaudRate("custom"), TBaudRate::brCustom);
    EXPECT_EQ(StrToBaudRate("1200"), TBaudRate::br1200);
    EXPECT_EQ(StrToBaudRate("9600 "), TBaudRate::br9600);
    EXPECT_EQ(StrToBaudRate(" 1200"), TBaudRate::br9600);
    EXPECT_EQ(StrToBaudRate(""), TBaudRate::br9600);
    EXPECT_EQ(StrToFlowControl("hArDwArE"), TFlowControl::fcHardware);
    EXPECT_EQ(StrToFlowControl("xon"), TFlowControl::fcCustom);
    EXPECT_EQ(StrToDataBits("9"), TDataBits::dbEight);
    EXPECT_EQ(StrToStopBits("1,5"), TStopBits::sbOneStopBit);
    EXPECT_EQ(StrToParity("EVEN"), TParityBits::prEven);
    EXPECT_EQ(StrToParity("Ödd"), TParityBits::prNone);
    EXPECT_EQ(StrToDTR("?"), TDTRFlowControl::dtrDisable);
    EXPECT_EQ(StrToRTS("toggle"), TRTSFlowControl::rtsToggle);
    EXPECT_EQ(StrToRTS("Toggle2"), TRTSFlowControl::rtsDisable);
}

TEST(Conversions, YesNo)
{
    EXPECT_EQ(BoolToYesNo(true), "Yes");
    EXPECT_EQ(BoolToYesNo(false), "No");
    EXPECT_TRUE(YesNoToBool("yes"));
    EXPECT_TRUE(YesNoToBool("YeS"));
    EXPECT_FALSE(YesNoToBool("Y"));
    EXPECT_FALSE(YesNoToBool("true"));
    EXPECT_FALSE(YesNoToBool(""));
    EXPECT_FALSE(YesNoToBool("yes "));
}

TEST(Conversions, CharToText)
{
    EXPECT_EQ(CharToText(0), "#0");
    EXPECT_EQ(CharToText(13), "#13");
    EXPECT_EQ(CharToText(17), "#17");
    EXPECT_EQ(CharToText(32), "#32");
    EXPECT_EQ(CharToText(33), "!");
    EXPECT_EQ(CharToText(65), "A");
    EXPECT_EQ(CharToText(127), std::string(1, '\x7f'));
    EXPECT_EQ(CharToText(static_cast<char>(128)), "#128");
    EXPECT_EQ(CharToText(static_cast<char>(200)), "#200");
    EXPECT_EQ(CharToText(static_cast<char>(255)), "#255");
}

TEST(Conversions, TextToChar)
{
    struct Case {
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"", 0},       {"#", '#'},  {"#13", 13}, {"#300", 44},        {"#-1", 255}, {"#x", 0},
        {"#$41", 'A'}, {"AB", 'A'}, {"#+7", 7},  {"#99999999999", 0}, {"##", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<unsigned char>(TextToChar(c.text)), c.code) << c.text;
    }
}

TEST(Conversions, CharRoundTripsThroughText)
{
    for (int code = 0; code < 256; ++code) {
        const char c = static_cast<char>(code);
        EXPECT_EQ(TextToChar(CharToText(c)), c) << code;
    }
}

} // namespace
} // namespace lantorvix
