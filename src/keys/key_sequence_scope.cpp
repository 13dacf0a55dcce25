#include "keys/key_sequence_scope.h"

#include <algorithm>
#include <vector>

namespace lantorvix {

namespace {
struct ScopeState {
    int depth = 0;
    std::vector<KeyEventSink*> pending;
};
thread_local ScopeState state;
} // namespace

KeySequenceScope::KeySequenceScope()
{
    ++state.depth;
}

KeySequenceScope::~KeySequenceScope()
{
    // Every scope flushes at its end: a sequence typed from a box (a nested scope) goes out
    // when it ends, as it did before events were held back; the outer one's events before
    // the box were flushed by the box itself.
    --state.depth;
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

bool KeySequenceScope::Active()
{
    return state.depth > 0;
}

} // namespace lantorvix
