// Fontconfig keeps its font caches for the life of the process (text
// watermarks load fonts); the leak checker of sanitizer builds would report
// them at exit. Only allocations made inside fontconfig are exempt.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
