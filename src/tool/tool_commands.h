#pragma once
// The commands of novamend-tool, the vendor's companion to novamend.exe.
// Each takes the words after its own name and returns the process's exit
// code: 0 done, 1 failed (said on the error output), 2 wrong usage.
#include <cstdint>
#include <string>
#include <vector>

namespace nm::tool {

using Arguments = std::vector<std::wstring>;

// brand UPDATER SETTINGS [OUT]: the settings become the embedded default of
// a copy of the updater (or of the updater itself when OUT is left out).
int Brand(const Arguments& args);
// keygen KEY_FILE: a new P-256 signing key into KEY_FILE (PKCS#8 PEM); prints
// the [UPDATEINFO] ListPublicKey text.
int Keygen(const Arguments& args);
// makelist RELEASE_DIR OUT_LIST [--serial N] [--previous EARLIER_DIR]...: a
// list of every file below RELEASE_DIR with path, ver, size and sha256; the
// serial defaults to the time. Each earlier release given adds, to a file that
// changed since, a patch from its version there (written beside the file).
int Makelist(const Arguments& args);
// sign KEY_FILE LIST: writes LIST.sig.
int Sign(const Arguments& args);

// pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]: a copy of
// the updater that carries the release's files named by LIST (with
// --against, only the entries that differ from that copy) and installs them
// without asking a server.
int Pack(const Arguments& args);

// verify UPDATER LIST_URL_OR_RELEASE_DIR [--installed INSTALLED_LIST]: the
// release as that updater will see it; prints each check, 1 on any fault.
int Verify(const Arguments& args);

// init SETTINGS_FILE: a commented sample of the settings a vendor sets
// first; an existing file is never replaced.
int Init(const Arguments& args);

// The words after the program's name: runs the command they name.
int RunTool(const Arguments& words);

// Says what failed, with the system's reason, on the error output; returns 1.
int Fail(const std::wstring& command, const std::wstring& what, const std::wstring& path);
// Says what is wrong, without a system reason; returns 1.
int Refuse(const std::wstring& command, const std::wstring& what, const std::wstring& path);
// Says why the file at path could not be read as what was expected ("a
// private key file"): not there, a folder, larger than `largest` bytes
// (when given) and so not one, or unreadable with the system's reason.
// Returns 1.
int CannotRead(const std::wstring& command, const std::wstring& expected, const std::wstring& path,
               std::int64_t largest = -1);

}  // namespace nm::tool
