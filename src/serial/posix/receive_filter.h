#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lantorvix::posix {

// What the received-byte handling of the control block asks for.
struct ReceiveSettings {
    bool discardNull = false;   // fNull: NUL bytes are dropped
    bool parityCheck = false;   // fParity: parity errors count
    bool replaceErrors = false; // fErrorChar with fParity: a byte with an error becomes errorChar
    std::uint8_t errorChar = 0;
    std::uint8_t eventChar = 0; // EvtChar: raises EV_RXFLAG
};

// Which line conditions the driver counted while the bytes being fed arrived (from the
// serial counters, when the device has them). Without them a marked byte counts as a parity
// error when parity is checked and as a framing error otherwise, and a marked NUL as a break.
struct LineConditionHint {
    bool known = false;
    bool frame = false;
    bool parity = false;
    bool brk = false;
};

struct ReceiveOutcome {
    std::uint32_t events = 0; // EV_* bits the bytes raised
    std::uint32_t errors = 0; // CE_* flags they raised
};

// Turns what a tty configured with PARMRK (and INPCK, without ISTRIP, IGNBRK, BRKINT, IGNPAR)
// delivers back into the bytes the line carried, the way the Windows driver queues them:
// "\377\377" is one 0xFF, "\377\0\0" a break, "\377\0c" the byte c received with a parity or
// framing error. A mark split across two reads is joined. Not thread-safe: one owner.
class ReceiveFilter {
public:
    void Configure(const ReceiveSettings& settings) { settings_ = settings; }
    // Appends the data bytes to out; returns the events and errors they raise.
    ReceiveOutcome Feed(const std::uint8_t* raw, std::size_t size, std::vector<std::uint8_t>& out,
                        const LineConditionHint& hint = {});
    // Forgets a partly received mark (after a flush of the input).
    void Reset() { state_ = State::data; }

private:
    enum class State { data, mark, markZero };
    void Data(std::uint8_t byte, std::vector<std::uint8_t>& out, ReceiveOutcome& outcome);
    void Marked(std::uint8_t byte, std::vector<std::uint8_t>& out, ReceiveOutcome& outcome,
                const LineConditionHint& hint);

    ReceiveSettings settings_;
    State state_ = State::data;
};

} // namespace lantorvix::posix
