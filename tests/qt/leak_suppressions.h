#pragma once
// Allocations that Qt, fontconfig and the X libraries keep for the life of
// the process are no leaks of ours (the leak checker's own hook, so that
// every way of starting the program has them).
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\n"
         "leak:libQt6Core\n"
         "leak:libQt6Gui\n"
         "leak:libQt6Widgets\n"
         "leak:libQt6XcbQpa\n"
         "leak:libxcb\n"
         "leak:libX11\n"
         "leak:libdbus\n"
         "leak:libglib\n";
}
