// novamend-tool: what a vendor does to ship the updater, without a compiler.
//   novamend-tool brand UPDATER SETTINGS [OUT]
//   novamend-tool pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]
//   novamend-tool keygen KEY_FILE
//   novamend-tool makelist RELEASE_DIR OUT_LIST [--serial N]
//   novamend-tool sign KEY_FILE LIST
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/system_error.h"
#include "tool/tool_commands.h"

namespace nm::tool {

int Fail(const std::wstring& command, const std::wstring& what, const std::wstring& path) {
    const std::wstring reason = SystemReason(::GetLastError());
    std::fwprintf(stderr, L"novamend-tool %ls: %ls: %ls%ls\n", command.c_str(), what.c_str(), path.c_str(),
                  reason.c_str());
    return 1;
}

int Refuse(const std::wstring& command, const std::wstring& what, const std::wstring& path) {
    std::fwprintf(stderr, L"novamend-tool %ls: %ls%ls%ls\n", command.c_str(), what.c_str(), path.empty() ? L"" : L": ",
                  path.c_str());
    return 1;
}

namespace {
struct Command {
    const wchar_t* name;
    const wchar_t* usage;
    int (*run)(const Arguments&);
};

constexpr Command kCommands[] = {
    {L"brand",
     L"brand UPDATER SETTINGS [OUT] [--caption TEXT] [--picture NAME=GIF]... [--pictures DIR]\n"
     L"      embed SETTINGS as the default of a copy of UPDATER, with the progress window's caption and pictures",
     Brand},
    {L"pack",
     L"pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]\n"
     L"      an offline update package: UPDATER carrying the files of LIST from RELEASE_DIR\n"
     L"      (with --against, only the entries that differ from that copy)",
     Pack},
    {L"keygen", L"keygen KEY_FILE   a new release signing key; prints the ListPublicKey text", Keygen},
    {L"makelist", L"makelist RELEASE_DIR OUT_LIST [--serial N]   a list of every file, with ver and sha256", Makelist},
    {L"sign", L"sign KEY_FILE LIST   writes LIST.sig, the signature the updater checks", Sign},
};

int Usage() {
    std::fwprintf(stderr, L"usage: novamend-tool COMMAND ...\n");
    for (const Command& command : kCommands) std::fwprintf(stderr, L"  %ls\n", command.usage);
    return 2;
}
}  // namespace

}  // namespace nm::tool

int wmain(int argc, wchar_t** argv) {
    using namespace nm::tool;
    if (argc < 2) return Usage();
    const std::wstring name = argv[1];
    for (const Command& command : kCommands)
        if (name == command.name) return command.run(Arguments(argv + 2, argv + argc));
    return Usage();
}
