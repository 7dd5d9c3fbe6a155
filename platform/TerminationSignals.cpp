#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {
int g_pipe[2] = {-1, -1};
int g_watchdog[2] = {-1, -1};
volatile std::sig_atomic_t g_signal = 0;

extern "C" void OnSignal(int signal)
{
    g_signal = signal;
    const char byte = 1;
    // Only async-signal-safe work here; the notifier does the rest on the event loop.
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
    [[maybe_unused]] const auto woken = ::write(g_watchdog[1], &byte, 1);
}

// A user interface stuck in a long computation cannot run the orderly close; the session that sent the
// signal must still see the program go.
void Watch(std::chrono::milliseconds grace)
{
    char byte = 0;
    while (::read(g_watchdog[0], &byte, 1) < 0) {
    }
    std::this_thread::sleep_for(grace);
    ::_exit(128 + static_cast<int>(g_signal));
}
} // namespace

void CloseOnTerminationSignals(std::function<void()> onSignal, std::chrono::milliseconds grace)
{
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0 || ::pipe2(g_watchdog, O_CLOEXEC) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal = std::move(onSignal)] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        onSignal();
    });
    std::thread(Watch, grace).detach();
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace platform
