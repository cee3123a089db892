// portable: builds without Win32
#include "services/process_lock.h"

namespace nm {

std::mutex& MutexOf(ProcessLock lock) {
    static std::mutex mutexes[static_cast<int>(ProcessLock::Count)];
    return mutexes[static_cast<int>(lock)];
}

}  // namespace nm
