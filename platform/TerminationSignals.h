#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (a session ending, a terminal closing) into an orderly close that
// keeps the user's work, and makes sure the program is gone within `grace` even when the orderly close
// cannot run.

#include <chrono>
#include <functional>

namespace platform {

// Calls `onSignal` on the user-interface thread when one of the signals arrives; `grace` after the
// signal the process ends regardless. Once only.
void CloseOnTerminationSignals(std::function<void()> onSignal,
                               std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

} // namespace platform
