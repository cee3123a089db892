#pragma once
// Worker threads are started detached: their handles are closed at once and
// they report completion through shared state.
#include <functional>

namespace nm {

// False when the thread could not be started (the work is not run).
bool StartDetached(std::function<void()> work);

// The same for work that comes in many small pieces (a file each): a thread
// that has done one piece waits a moment for the next before it ends, since
// under some systems making a thread costs more than fetching a small file.
// The work must leave no state of its own on its thread.
bool StartOnReusedThread(std::function<void()> work);

}  // namespace nm
