// Under the leak checker: fontconfig's pattern caches, shared by Qt's font
// database and the raster text drawing, are not all released at exit. They
// are the library's, not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
