#pragma once

#include "base/shared_mutex.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lantorvix::i18n {

// The ordered domains that built-in messages are looked up in: "default", then whatever the
// subsystems add at start-up ("cport"). The first domain that changes a text wins.
// Thread-safety: many readers (ForEach) or one writer (Add, Reset) at a time.
class ResourceStringDomains {
public:
    ResourceStringDomains();

    void Add(std::u16string_view domain);
    // Back to "default" alone.
    void Reset();
    // Calls visit for each domain in order, under the read lock, until it returns true.
    void ForEach(const std::function<bool(std::u16string_view)>& visit) const;

private:
    mutable SharedMutex mutex_;
    std::vector<std::u16string> names_;
};

} // namespace lantorvix::i18n
