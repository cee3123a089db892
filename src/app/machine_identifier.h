#pragma once
// The random identifier of this machine and application that places it in a
// staged rollout. Made once and kept beside the bookkeeping files of the
// application directory, so that its bucket stays the same across checks.
#include <string>

namespace nm {

// The name of the file that keeps it, in the application directory.
std::wstring MachineIdentifierFile(const std::wstring& application_directory);
// The kept identifier (32 hex digits), made and kept now when there is none;
// "" when none can be kept (the folder cannot be written).
std::wstring MachineIdentifier(const std::wstring& application_directory);

}  // namespace nm
