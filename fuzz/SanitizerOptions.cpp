// Sanitizer defaults built into every fuzz target (ASAN_OPTIONS still wins).
// The quarantine keeps freed blocks poisoned so that a use after free shows;
// one input frees a few hundred kilobytes at most, so 16 MB holds every block
// of the run that could still be used. The default 256 MB, filled over a long
// run, also fills the allocation-stack store: Qt's code has no frame pointers,
// so a stack through it ends in stray words that differ with every heap
// address the quarantine keeps out of use, and the store never shrinks.

extern "C" __attribute__((used, no_sanitize("address", "undefined", "coverage"))) const char*
__asan_default_options() {
  return "quarantine_size_mb=16";
}
