// Every open of an encrypted file derives its key in tens of thousands of
// rounds, each allocating and freeing a small block; the crash tests open
// the file after every kill. Under AddressSanitizer the default quarantine
// of freed blocks (256 MB) is recycled again and again by those blocks and
// takes four fifths of the run. A smaller one still catches a block used
// soon after it was freed. (Without the sanitizer nothing calls this.)
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=4:malloc_context_size=8"; }
