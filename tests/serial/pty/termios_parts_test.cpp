// The pure parts of the termios device: PARMRK decoding, the Windows read time-out rules and
// the errno translation.
#include "serial/comm_device.h"
#include "serial/posix/read_timeouts.h"
#include "serial/posix/receive_filter.h"
#include "serial/posix/win_error.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace lantorvix {
namespace {

using posix::LineConditionHint;
using posix::ReceiveFilter;
using posix::ReceiveSettings;

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v));
    }
    return bytes;
}

struct FilterCase {
    const char* name;
    ReceiveSettings settings;
    std::vector<std::uint8_t> raw;
    LineConditionHint hint;
    std::vector<std::uint8_t> data;
    std::uint32_t events;
    std::uint32_t errors;
};

ReceiveSettings Settings(bool discardNull, bool parityCheck, bool replace, int errorChar, int eventChar)
{
    ReceiveSettings s;
    s.discardNull = discardNull;
    s.parityCheck = parityCheck;
    s.replaceErrors = replace;
    s.errorChar = static_cast<std::uint8_t>(errorChar);
    s.eventChar = static_cast<std::uint8_t>(eventChar);
    return s;
}

LineConditionHint Counted(bool frame, bool parity, bool brk)
{
    return {true, frame, parity, brk};
}

class ReceiveFilterTest : public ::testing::TestWithParam<FilterCase> {};

TEST_P(ReceiveFilterTest, DecodesMarksLikeTheWindowsDriverQueues)
{
    const FilterCase& c = GetParam();
    ReceiveFilter filter;
    filter.Configure(c.settings);
    std::vector<std::uint8_t> out;
    const auto outcome = filter.Feed(c.raw.data(), c.raw.size(), out, c.hint);
    EXPECT_EQ(out, c.data);
    EXPECT_EQ(outcome.events, c.events);
    EXPECT_EQ(outcome.errors, c.errors);
}

const ReceiveSettings kPlain = Settings(false, false, false, 0, 0x7E);

INSTANTIATE_TEST_SUITE_P(
    Cases, ReceiveFilterTest,
    ::testing::Values(
        FilterCase{"plain", kPlain, Bytes({'a', 0, 'b'}), {}, Bytes({'a', 0, 'b'}), ev::RXCHAR, 0},
        FilterCase{"doubled_ff", kPlain, Bytes({0xFF, 0xFF, 1}), {}, Bytes({0xFF, 1}), ev::RXCHAR, 0},
        FilterCase{
            "event_char", kPlain, Bytes({'x', 0x7E}), {}, Bytes({'x', 0x7E}), ev::RXCHAR | ev::RXFLAG, 0},
        FilterCase{
            "break", kPlain, Bytes({'a', 0xFF, 0, 0}), {}, Bytes({'a'}), ev::RXCHAR | ev::BREAK, ce::BREAK},
        FilterCase{"only_break", kPlain, Bytes({0xFF, 0, 0}), {}, {}, ev::BREAK, ce::BREAK},
        FilterCase{"framing_error_unchecked_parity",
                   kPlain,
                   Bytes({0xFF, 0, 'q'}),
                   {},
                   Bytes({'q'}),
                   ev::RXCHAR | ev::ERR,
                   ce::FRAME},
        FilterCase{"parity_error_checked",
                   Settings(false, true, false, 0, 0x7E),
                   Bytes({0xFF, 0, 'q'}),
                   {},
                   Bytes({'q'}),
                   ev::RXCHAR | ev::ERR,
                   ce::RXPARITY},
        FilterCase{"parity_error_replaced",
                   Settings(false, true, true, '?', 0x7E),
                   Bytes({0xFF, 0, 'q'}),
                   {},
                   Bytes({'?'}),
                   ev::RXCHAR | ev::ERR,
                   ce::RXPARITY},
        FilterCase{"counted_parity_unchecked_is_plain_data", kPlain, Bytes({0xFF, 0, 'q'}),
                   Counted(false, true, false), Bytes({'q'}), ev::RXCHAR, 0},
        FilterCase{"counted_frame_on_nul_is_not_break", Settings(false, true, true, '?', 0x7E),
                   Bytes({0xFF, 0, 0}), Counted(true, false, false), Bytes({'?'}), ev::RXCHAR | ev::ERR,
                   ce::FRAME},
        FilterCase{"counted_break",
                   Settings(false, true, false, 0, 0x7E),
                   Bytes({0xFF, 0, 0}),
                   Counted(false, false, true),
                   {},
                   ev::BREAK,
                   ce::BREAK},
        FilterCase{"discard_null",
                   Settings(true, false, false, 0, 0x7E),
                   Bytes({0, 'a', 0, 0}),
                   {},
                   Bytes({'a'}),
                   ev::RXCHAR,
                   0},
        FilterCase{
            "discard_null_only_nuls", Settings(true, false, false, 0, 0x7E), Bytes({0, 0}), {}, {}, 0, 0},
        FilterCase{"nul_event_char",
                   Settings(false, false, false, 0, 0),
                   Bytes({0}),
                   {},
                   Bytes({0}),
                   ev::RXCHAR | ev::RXFLAG,
                   0},
        FilterCase{
            "stray_mark_keeps_both", kPlain, Bytes({0xFF, 'z'}), {}, Bytes({0xFF, 'z'}), ev::RXCHAR, 0}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(ReceiveFilter, JoinsMarksSplitAcrossReads)
{
    ReceiveFilter filter;
    filter.Configure(kPlain);
    std::vector<std::uint8_t> out;
    const auto all = Bytes({'a', 0xFF, 0xFF, 0xFF, 0, 0, 0xFF, 0, 'c', 'd'});
    std::uint32_t errors = 0;
    for (std::uint8_t byte : all) {
        errors |= filter.Feed(&byte, 1, out).errors;
    }
    EXPECT_EQ(out, Bytes({'a', 0xFF, 'c', 'd'}));
    EXPECT_EQ(errors, ce::BREAK | ce::FRAME);
}

TEST(ReceiveFilter, ResetForgetsAHalfMark)
{
    ReceiveFilter filter;
    filter.Configure(kPlain);
    std::vector<std::uint8_t> out;
    const std::uint8_t mark = 0xFF;
    filter.Feed(&mark, 1, out);
    filter.Reset();
    const auto rest = Bytes({0, 0, 'k'});
    filter.Feed(rest.data(), rest.size(), out);
    EXPECT_EQ(out, Bytes({0, 0, 'k'}));
}

struct PlanCase {
    const char* name;
    CommTimeouts timeouts;
    std::uint32_t count;
    bool immediate;
    bool firstByte;
    long long totalMs; // -1 none
    long long intervalMs;
};

class ReadPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(ReadPlanTest, FollowsTheWindowsRules)
{
    const PlanCase& c = GetParam();
    const posix::ReadPlan plan = posix::PlanRead(c.timeouts, c.count);
    EXPECT_EQ(plan.immediate, c.immediate);
    EXPECT_EQ(plan.returnOnFirstByte, c.firstByte);
    EXPECT_EQ(plan.total ? plan.total->count() : -1, c.totalMs);
    EXPECT_EQ(plan.interval ? plan.interval->count() : -1, c.intervalMs);
}

constexpr std::uint32_t kOnes = 0xFFFFFFFFu;

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadPlanTest,
    ::testing::Values(PlanCase{"port_defaults", {kOnes, 0, 0, 100, 1000}, 10, true, false, -1, -1},
                      PlanCase{"no_timeouts_blocks", {0, 0, 0, 0, 0}, 10, false, false, -1, -1},
                      PlanCase{"total", {0, 10, 50, 0, 0}, 8, false, false, 130, -1},
                      PlanCase{"interval_only", {20, 0, 0, 0, 0}, 8, false, false, -1, 20},
                      PlanCase{"first_byte", {kOnes, kOnes, 200, 0, 0}, 8, false, true, 200, -1},
                      PlanCase{"ones_interval_with_total", {kOnes, 0, 300, 0, 0}, 8, false, false, 300, -1},
                      PlanCase{
                          "total_beyond_32_bits", {0, kOnes, 5, 0, 0}, 4, false, false, 4LL * kOnes + 5, -1}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(WinErrorFromErrno, MapsToTheCodesWindowsUsesForTheSameFailure)
{
    const std::pair<int, int> table[] = {
        {ENOENT, 2}, {ENODEV, 2},      {ENXIO, 2},  {ENOTDIR, 3},        {EMFILE, 4},     {EACCES, 5},
        {EBUSY, 5},  {EWOULDBLOCK, 5}, {EPERM, 5},  {EBADF, 6},          {ENOMEM, 8},     {EINVAL, 87},
        {ENOTTY, 1}, {ECANCELED, 995}, {EIO, 1117}, {ENAMETOOLONG, 206}, {EHOSTDOWN, 31},
    };
    for (const auto& [error, code] : table) {
        EXPECT_EQ(posix::WinErrorFromErrno(error), code) << "errno " << error;
    }
}

} // namespace
} // namespace lantorvix
