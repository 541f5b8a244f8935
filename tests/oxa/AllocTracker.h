// The test program replaces operator new to record the largest single allocation, so that
// tests can show that a peer's length fields do not make the code allocate beyond the limit.
#pragma once

#include <cstddef>

namespace oxa::test {

void ResetLargestAllocation();
size_t LargestAllocation();
// Number of allocations since the program started.
size_t AllocationCount();

}  // namespace oxa::test
