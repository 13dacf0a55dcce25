#include "keys/key_sequence_scope.h"

#include <algorithm>
#include <vector>

namespace lantorvix {

namespace {
struct ScopeState {
    int depth = 0;
    std::string_view text;
    std::uint64_t serial = 0;
    std::vector<KeyEventSink*> pending;
};
thread_local ScopeState state;
} // namespace

KeySequenceScope::KeySequenceScope(std::string_view text)
{
    if (state.depth++ == 0) {
        state.text = text;
        ++state.serial;
    }
}

KeySequenceScope::~KeySequenceScope()
{
    if (--state.depth > 0) {
        return;
    }
    state.text = {};
    // A flush does not type (no nested scope), so the list stays as it is while we walk it.
    const auto pending = std::move(state.pending);
    state.pending.clear();
    for (KeyEventSink* sink : pending) {
        sink->FlushKeyEvents();
    }
}

bool KeySequenceScope::Defer(KeyEventSink& sink)
{
    if (state.depth == 0) {
        return false;
    }
    if (std::find(state.pending.begin(), state.pending.end(), &sink) == state.pending.end()) {
        state.pending.push_back(&sink);
    }
    return true;
}

void KeySequenceScope::Forget(KeyEventSink& sink)
{
    state.pending.erase(std::remove(state.pending.begin(), state.pending.end(), &sink), state.pending.end());
}

} // namespace lantorvix

namespace lantorvix {

std::string_view KeySequenceScope::Text()
{
    return state.text;
}

std::uint64_t KeySequenceScope::Serial()
{
    return state.serial;
}

} // namespace lantorvix
