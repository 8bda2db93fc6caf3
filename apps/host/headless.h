#pragma once
// The headless shift announcer: no window; polls ShiftClass once a second in
// the working directory and writes one JSON line per event to stdout.
namespace dghost {

// Runs until SIGINT or SIGTERM; returns the process exit code (0 after a
// signal, 1 when the clsShiftClass cannot be created).
int RunHeadless();

}  // namespace dghost
