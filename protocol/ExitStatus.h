#pragma once
// The program's exit statuses. Scripts act on them: they never change
// meaning.

#include "bus/BusAdapter.h"

namespace ExitStatus {

inline constexpr int Ok = 0;
// The window only: the SMBus could not be used and the simulated chip was
// declined.
inline constexpr int NoSmbus = 1;
// A bad command line, a bus that cannot be used, or a file that cannot be
// read or written.
inline constexpr int BadCommandLine = 2;
inline constexpr int NoAnswer = 3;      // the device did not answer
// A write did not take, or a transaction was refused: a guarded address,
// a kernel driver's, another device's snapshot.
inline constexpr int WriteNotTaken = 4;
inline constexpr int LimitPassed = 5;   // record: a limit was passed

// A device that gave no readings: refused when a kernel driver held the
// reads back (nothing went out), else it did not answer.
inline int ofUnanswered(const BusOutcome& outcome)
{
    return outcome.heldBackByDriver() ? WriteNotTaken : NoAnswer;
}

} // namespace ExitStatus
