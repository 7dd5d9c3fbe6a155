#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (a session ending, a terminal closing) into an orderly close,
// so the program asks about unsaved work and writes its settings instead of dying on the spot.

#include <functional>

namespace platform {

// Calls `onSignal` on the user-interface thread when one of the signals arrives. Once only.
void CloseOnTerminationSignals(std::function<void()> onSignal);

} // namespace platform
