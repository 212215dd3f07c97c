// Libraries the engine tests reach keep a few global allocations until the
// process exits: the HEVC encoder behind HEIF output, and fontconfig's
// caches. The leak checker of sanitizer builds exempts only those; one
// definition serves the whole engine test program.

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libx265\nleak:libfontconfig.so\n";
}
