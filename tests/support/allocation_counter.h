// Counts calls of malloc, calloc, realloc, free, operator new/delete and
// pthread_mutex_lock while switched on, to show code allocates nothing and
// takes no lock. Linking this replaces the process's allocation functions, so
// it cannot share an executable with the sanitizers' allocators.
#pragma once

namespace orv::testing {

void startCountingAllocations();
// Stops counting; returns the calls seen since the start.
int stopCountingAllocations();

}  // namespace orv::testing
