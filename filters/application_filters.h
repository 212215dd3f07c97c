#pragma once
// Registers the application's own filters by name, once per process.
// Creating a CIFiltering calls it; filters looked up by name before that
// (or in a program that never makes one) are not found.

namespace velumar {

// Idempotent and safe to call from any thread.
void registerApplicationFilters();

}  // namespace velumar
