// Seams for the tests' fault injection, implemented by each platform file beside what they
// stand in for. Only tests include this header.
#pragma once

#include <cstdint>

// From now on every WriteFileAtomically stops after `bytesBeforeFailure` bytes as a full disk
// would; a negative value turns it off again.
void SetWriteFailureForTesting(int64_t bytesBeforeFailure);

// Acts as if the interrupt handler had run for signal (0 clears the record).
void SimulateInterruptForTesting(int32_t signal);
