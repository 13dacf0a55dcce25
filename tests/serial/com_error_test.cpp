#include <gtest/gtest.h>

#include "serial/com_error.h"

namespace lantorvix {
namespace {

TEST(EComPort, MessageWithOsCodeHasTheSuffix)
{
    const EComPort e(port_error::OpenFailed, 2);
    EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
    EXPECT_EQ(e.PortErrorCode(), 1);
    EXPECT_EQ(e.OSErrorCode(), 2);
}

TEST(EComPort, MessageWithoutOsCodeIsTheTableText)
{
    const EComPort e(port_error::ConnChangeProp);
    EXPECT_STREQ(e.what(), "Cannot set property while connected");
    EXPECT_EQ(e.PortErrorCode(), 14);
    EXPECT_EQ(e.OSErrorCode(), -1);
}

TEST(EComPort, NegativeAndLargeOsCodes)
{
    EXPECT_STREQ(EComPort(port_error::ReadFailed, 995).what(),
                 "ReadFile function failed (win error code: 995)");
    EXPECT_STREQ(EComPort(port_error::SetStateFailed, -5).what(),
                 "SetCommState function failed (win error code: -5)");
}

TEST(EComPort, TableHoldsTheTwentyThreeTextsInCodeOrder)
{
    InitializeSerialMessages();
    const char* texts[] = {"Unable to open com port",
                           "WriteFile function failed",
                           "ReadFile function failed",
                           "Invalid Async parameter",
                           "PurgeComm function failed",
                           "Unable to get async status",
                           "SetCommState function failed",
                           "SetCommTimeouts failed",
                           "SetupComm function failed",
                           "ClearCommError function failed",
                           "GetCommModemStatus function failed",
                           "EscapeCommFunction function failed",
                           "TransmitCommChar function failed",
                           "Cannot set property while connected",
                           "EnumPorts function failed",
                           "Failed to store settings",
                           "Failed to load settings",
                           "Link (un)registration failed",
                           "Cannot change led state if ComPort is selected",
                           "Cannot wait for event if event thread is created",
                           "WaitForEvent method failed",
                           "A component is linked to OnRxBuf event",
                           "Registry error"};
    for (int code = 1; code <= 23; ++code) {
        EXPECT_EQ(PortMessage(code), texts[code - 1]) << code;
        EXPECT_STREQ(EComPort(code).what(), texts[code - 1]);
    }
    EXPECT_EQ(PortMessage(0), "");
    EXPECT_EQ(PortMessage(24), "");
}

TEST(EComPort, IsAnException)
{
    try {
        throw EComPort(port_error::PurgeFailed, 6);
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "PurgeComm function failed (win error code: 6)");
        return;
    }
    ADD_FAILURE() << "not caught as Exception";
}

} // namespace
} // namespace lantorvix
