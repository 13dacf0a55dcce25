#pragma once

namespace lantorvix {

// Sets a flag for the length of a scope and gives it back its earlier value, also when the
// scope is left by an exception or re-entered from inside.
class ScopedFlag {
public:
    explicit ScopedFlag(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = old_; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace lantorvix
