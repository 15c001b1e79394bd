// How the C library's allocator keeps what is freed: set once at the start
// of each program (the desktop program and the admin tool).
#pragma once

namespace base {

// A registry of 100 000 learners is some 50 MB of rows, read afresh after
// every change, and an imported workbook's rows are parsed a few megabytes
// at a time; by default the allocator hands such blocks back to the system
// when they are freed, and the next read faults every page of them in
// again, which on a virtual machine costs more than the read itself. Freed
// memory up to the sizes in allocator.cpp stays with the process for the
// next read instead.
void keepFreedMemoryForReuse();

}  // namespace base
