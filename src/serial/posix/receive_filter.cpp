#include "serial/posix/receive_filter.h"

#include "serial/comm_device.h"

namespace lantorvix::posix {

namespace {
constexpr std::uint8_t kMark = 0xFF;
}

void ReceiveFilter::Data(std::uint8_t byte, std::vector<std::uint8_t>& out, ReceiveOutcome& outcome)
{
    if (byte == 0 && settings_.discardNull) {
        return;
    }
    out.push_back(byte);
    outcome.events |= ev::RXCHAR;
    if (byte == settings_.eventChar) {
        outcome.events |= ev::RXFLAG;
    }
}

void ReceiveFilter::Marked(std::uint8_t byte, std::vector<std::uint8_t>& out, ReceiveOutcome& outcome,
                           const LineConditionHint& hint)
{
    bool isBreak = byte == 0;
    bool frame = !settings_.parityCheck;
    if (hint.known) {
        // A NUL with a parity or framing error looks like a break; the counters tell them apart.
        isBreak = byte == 0 && (hint.brk || (!hint.frame && !hint.parity));
        frame = hint.frame || !hint.parity;
    }
    if (isBreak) {
        outcome.errors |= ce::BREAK;
        outcome.events |= ev::BREAK;
        return;
    }
    if (frame) {
        outcome.errors |= ce::FRAME;
        outcome.events |= ev::ERR;
    } else if (settings_.parityCheck) {
        outcome.errors |= ce::RXPARITY;
        outcome.events |= ev::ERR;
    } else {
        // Parity is not checked: the byte is taken as it came.
        Data(byte, out, outcome);
        return;
    }
    Data(settings_.replaceErrors ? settings_.errorChar : byte, out, outcome);
}

ReceiveOutcome ReceiveFilter::Feed(const std::uint8_t* raw, std::size_t size, std::vector<std::uint8_t>& out,
                                   const LineConditionHint& hint)
{
    ReceiveOutcome outcome;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = raw[i];
        switch (state_) {
        case State::data:
            if (byte == kMark) {
                state_ = State::mark;
            } else {
                Data(byte, out, outcome);
            }
            break;
        case State::mark:
            if (byte == kMark) {
                state_ = State::data;
                Data(kMark, out, outcome);
            } else if (byte == 0) {
                state_ = State::markZero;
            } else {
                // Not a sequence PARMRK produces; keep both bytes rather than lose one.
                state_ = State::data;
                Data(kMark, out, outcome);
                Data(byte, out, outcome);
            }
            break;
        case State::markZero:
            state_ = State::data;
            Marked(byte, out, outcome, hint);
            break;
        }
    }
    return outcome;
}

} // namespace lantorvix::posix
