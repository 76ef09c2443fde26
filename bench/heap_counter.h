#pragma once

// Counts every call of malloc and its kin in the benchmark binary, in any thread, so that
// a benchmark can show that neither our code nor a library under it allocates in the code
// it times. -1 in the sanitizers' build, which counts nothing.
namespace heap_counter {

long allocations();

}  // namespace heap_counter
