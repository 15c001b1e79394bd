// Compiled into every test program and benchmark program. The font
// configuration library keeps its caches for the whole process (the
// runtime's application object is never destroyed); the leak checker looks
// past them and at everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
