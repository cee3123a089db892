#pragma once
// The commands of novamend-tool, the vendor's companion to novamend.exe.
// Each takes the words after its own name and returns the process's exit
// code: 0 done, 1 failed (said on the error output), 2 wrong usage.
#include <string>
#include <vector>

namespace nm::tool {

using Arguments = std::vector<std::wstring>;

// brand UPDATER SETTINGS [OUT]: the settings become the embedded default of
// a copy of the updater (or of the updater itself when OUT is left out).
int Brand(const Arguments& args);

// pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]: a copy of
// the updater that carries the release's files named by LIST (with
// --against, only the entries that differ from that copy) and installs them
// without asking a server.
int Pack(const Arguments& args);

// Says what failed, with the system's reason, on the error output; returns 1.
int Fail(const std::wstring& command, const std::wstring& what, const std::wstring& path);

}  // namespace nm::tool
