// novamend-tool: what a vendor does to ship the updater, without a compiler.
//   novamend-tool init SETTINGS_FILE
//   novamend-tool brand UPDATER SETTINGS [OUT]
//   novamend-tool pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]
//   novamend-tool keygen KEY_FILE
//   novamend-tool makelist RELEASE_DIR OUT_LIST [--serial N] [--previous DIR]... [--paused] [--rollout PERCENT]
//                          [--expires DAYS]
//   novamend-tool sign KEY_FILE LIST
//   novamend-tool verify UPDATER LIST_URL_OR_RELEASE_DIR [--installed INSTALLED_LIST]
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "base/file_ops.h"

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

int CannotRead(const std::wstring& command, const std::wstring& expected, const std::wstring& path,
               std::int64_t largest) {
    // The reason of the read that failed, kept across the looks below.
    const DWORD error = ::GetLastError();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && !files::Exists(path))
        return Refuse(command, path + L": no such file (" + expected + L" was expected)", L"");
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Refuse(command, path + L": a folder, not " + expected, L"");
    if (const std::optional<std::int64_t> size = files::Size(path); largest >= 0 && size && *size > largest)
        return Refuse(
            command, path + L": not " + expected + L" (" + std::to_wstring(*size) + L" bytes, far more than one holds)",
            L"");
    ::SetLastError(error);
    return Fail(command, L"cannot read " + expected, path);
}

namespace {
struct Command {
    const wchar_t* name;
    const wchar_t* usage;
    int (*run)(const Arguments&);
};

constexpr Command kCommands[] = {
    {L"init", L"init SETTINGS_FILE   a commented sample of the settings a vendor sets first, to edit and brand", Init},
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
    {L"makelist",
     L"makelist RELEASE_DIR OUT_LIST [--serial N] [--previous EARLIER_RELEASE_DIR]... [--paused]\n"
     L"         [--rollout PERCENT] [--expires DAYS]\n"
     L"      a list of every file, with ver, size and sha256, and patches against each earlier release;\n"
     L"      paused, released to PERCENT of machines, or refused by a keyed updater DAYS from now, when asked",
     Makelist},
    {L"sign", L"sign KEY_FILE LIST   writes LIST.sig, the signature the updater checks", Sign},
    {L"verify",
     L"verify UPDATER LIST_URL_OR_RELEASE_DIR [--installed INSTALLED_LIST]\n"
     L"      checks a release as UPDATER will see it: the list, its signature, every file's size and sha256,\n"
     L"      the serial against INSTALLED_LIST, every address asked for",
     Verify},
};

void PrintUsage(std::FILE* to) {
    std::fwprintf(to, L"usage: novamend-tool COMMAND ...   (novamend-tool COMMAND --help for one command)\n");
    for (const Command& command : kCommands) std::fwprintf(to, L"  %ls\n", command.usage);
}

bool AsksForHelp(const std::wstring& word) { return word == L"--help" || word == L"-h" || word == L"/?"; }
}  // namespace

}  // namespace nm::tool

int wmain(int argc, wchar_t** argv) {
    using namespace nm::tool;
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    const std::wstring name = argv[1];
    if (AsksForHelp(name) || name == L"help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        const Arguments args(argv + 2, argv + argc);
        if (args.size() == 1 && AsksForHelp(args[0])) {
            std::fwprintf(stdout, L"usage: novamend-tool %ls\n", command.usage);
            return 0;
        }
        return command.run(args);
    }
    std::fwprintf(stderr, L"novamend-tool: unknown command \"%ls\"\n", name.c_str());
    PrintUsage(stderr);
    return 2;
}
