#pragma once

#include <cstddef>

// A test program linked with RefusedAllocation.cpp takes every allocation of
// plain new from malloc, and can have one of them fail.

// The next allocation of exactly size bytes throws std::bad_alloc.
void refuseAllocation(std::size_t size);
// Whether the refusal asked for has happened.
bool allocationRefused();
