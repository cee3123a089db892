#pragma once
// Worker threads are started detached: their handles are closed at once and
// they report completion through shared state.
#include <functional>

namespace nm {

// False when the thread could not be started (the work is not run).
bool StartDetached(std::function<void()> work);

}  // namespace nm
