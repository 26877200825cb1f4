#pragma once
// Leaks that are not ours, for LeakSanitizer in the sanitized test build:
// libpulse keeps a few small blocks of its client state for the whole process
// (SDL's PulseAudio backend opens and closes it; the blocks are never freed
// by the library itself). Included once per test program, by its main.
#define QUORVEL_LEAK_SUPPRESSIONS                                                  \
    extern "C" const char* __lsan_default_suppressions();                          \
    extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\n"; }
