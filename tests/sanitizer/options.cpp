// Linked into every executable of the sanitizer build, so that the suite runs alike from
// ctest, make test or by hand.

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1"; }

// Mesa unloads its driver when the display closes; the blocks the driver still holds then
// look leaked, and the report cannot say whose they were. Nothing in this build needs a
// library unloaded, so none is: with the driver mapped, its blocks stay reachable.
extern "C" int dlclose(void*) { return 0; }
