// How much slower and larger the sanitizer build runs an import that does real work: a Debug build
// with AddressSanitizer takes about fifteen times as long over 100,000 objects and holds about twice
// the memory. Tests that bound an import's time or memory multiply their bounds by these, so that the
// optimised build is the one whose costs they bound and the sanitizer build still runs them.
#pragma once

namespace instrumented {

#ifdef TARNWICK_SANITIZED_BUILD
constexpr long kTimeFactor = 15;
constexpr long kMemoryFactor = 2;
#else
constexpr long kTimeFactor = 1;
constexpr long kMemoryFactor = 1;
#endif

} // namespace instrumented
