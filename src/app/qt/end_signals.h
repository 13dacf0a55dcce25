#pragma once

#include <functional>
#include <memory>

namespace lantorvix {

// Turns SIGTERM, SIGINT and SIGHUP (log-out, Ctrl+C, a closed terminal) into one call of
// `onEnd` on the Qt main thread, through a self-pipe the loop watches: the program then ends
// as after a confirmed "Kilépés", giving back what it holds (lent key codes, the port).
// The signals' earlier handling comes back when the returned object goes. One at a time.
std::shared_ptr<void> WatchEndSignals(std::function<void()> onEnd);

} // namespace lantorvix
