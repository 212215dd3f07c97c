// This program exercises Qt's Wayland platform plugin and the graphics
// drivers it loads, which leave client proxies and driver buffers to the end
// of the process (some in modules unloaded before the leak checker runs, so
// no suppression by name can match them). Our own code's leaks are checked
// by every other test program; this smoke test checks for crashes only.

extern "C" const char* __asan_default_options() {
  return "detect_leaks=0";
}
