// The font configuration library keeps its cache for the whole process (the
// test's application object is never destroyed); the leak checker is told to
// look past it and at everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }
