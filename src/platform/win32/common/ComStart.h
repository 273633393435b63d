#pragma once
// COM on the calling thread, apartment-threaded, started by the first code that needs it: a
// silent run that reads the catalogue and writes the registry never loads ole32.

namespace win32 {

// Starts COM on this thread unless it runs already; false when it cannot be had. Callers go
// on to CoCreateInstance either way, which then fails in COM's own words.
bool NeedCom();
// Ends COM on this thread if NeedCom started it; at the end of the program.
void EndCom();

}  // namespace win32
