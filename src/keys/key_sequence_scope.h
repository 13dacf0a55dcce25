#pragma once

namespace lantorvix {

// A keyboard that holds key events back until they are handed to the system together.
class KeyEventSink {
public:
    virtual void FlushKeyEvents() = 0;

protected:
    ~KeyEventSink() = default;
};

// Marks the key events of one key sequence on the calling thread, so that a keyboard can
// send them to the system at once (one X server wake-up, one write) instead of one by one.
// Outside a scope a keyboard sends every event as it comes: a caller that releases
// modifiers after the sequence needs nothing of its own. Scopes nest (a sequence typed from
// a box or a dispatched message); each flushes what is pending when it ends.
//
// Thread safety: the state is per thread; a sink is flushed on the thread that deferred it.
class KeySequenceScope {
public:
    KeySequenceScope();
    ~KeySequenceScope();
    KeySequenceScope(const KeySequenceScope&) = delete;
    KeySequenceScope& operator=(const KeySequenceScope&) = delete;

    // True when the sink's events may wait for the end of the scope; the sink is then flushed
    // there. False outside a scope: the sink flushes now.
    static bool Defer(KeyEventSink& sink);
    // A sink that goes away before the scope ends.
    static void Forget(KeyEventSink& sink);
    // True inside a scope on the calling thread.
    static bool Active();
};

} // namespace lantorvix
