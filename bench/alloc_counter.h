#pragma once

// Counts every call of the global operator new in the benchmark binary, so that a
// benchmark can show that the code it times allocates nothing.
namespace alloc_counter {

long allocations();

}  // namespace alloc_counter
