// The sine this host hands out through its ANSI callbacks and suite.
#pragma once

namespace harness {

// sin(x) correctly rounded to the nearest double for |x| < 2^30 (every argument an effect
// plausibly asks for); NaN for NaN and infinities; beyond 2^30 the platform's std::sin.
//
// Effects build tables from the host's sine (the kernel weights of a resampling filter, for
// one) and expect them to be the same wherever they run. Platform sines are not: glibc's
// and the mingw-w64 runtime's disagree by one unit in the last place for about one
// argument in a thousand, which shows as differing pixels between the Linux module and the
// Windows plug-in. A correctly rounded sine has one right answer, so this host gives the
// same tables on every platform. It is written with +, -, *, / only (the build forbids
// their fusion), in double-double arithmetic carrying about 106 bits.
double HostSine(double x);

}  // namespace harness
