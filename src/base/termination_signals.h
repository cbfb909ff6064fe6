#pragma once
// SIGTERM, SIGINT and SIGHUP for programs that write staged outputs. The first signal is
// only recorded (and announced by a byte on a wake-up descriptor), so the program can stop
// the engine, remove its temporary files and then end as the signal would have ended it;
// a second signal removes the staged files at once and ends the program there. The first
// signal is always honoured: when the program has not ended 5 seconds after it (a main
// thread busy elsewhere), the staged files are removed and it ends there (SIGALRM is
// taken for that).

namespace reelsmith {

// Installs the handlers; wakeFd (or -1) receives one byte, the signal number, on the first.
void InstallTerminationHandlers(int wakeFd = -1);
// The first termination signal received since the handlers were installed, or 0.
int TerminationSignal();
// Ends the program with the status of the signal: its default action, raised.
[[noreturn]] void EndBySignal(int signal);

}  // namespace reelsmith
