// portable: builds without Win32
// novamend-tool: what a vendor does to ship the updater, without a compiler.
//   novamend-tool init SETTINGS_FILE
//   novamend-tool brand UPDATER SETTINGS [OUT]
//   novamend-tool pack UPDATER LIST RELEASE_DIR OUT [--against COMPARISON_COPY]
//   novamend-tool keygen KEY_FILE
//   novamend-tool makelist RELEASE_DIR OUT_LIST [--serial N] [--previous DIR]... [--paused] [--rollout PERCENT]
//                          [--expires DAYS]
//   novamend-tool sign KEY_FILE LIST
//   novamend-tool verify UPDATER LIST_URL_OR_RELEASE_DIR [--installed INSTALLED_LIST]
// The native build offers the commands that need no Windows interface.
#include <cstdio>
#include <string>

#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
struct Command {
    const wchar_t* name;
    const wchar_t* usage;
    int (*run)(const Arguments&);
};

constexpr Command kCommands[] = {
    {L"init", L"init SETTINGS_FILE   a commented sample of the settings a vendor sets first, to edit and brand", Init},
#ifdef _WIN32
    {L"brand",
     L"brand UPDATER SETTINGS [OUT] [--caption TEXT] [--picture NAME=GIF]... [--pictures DIR]\n"
     L"      embed SETTINGS as the default of a copy of UPDATER, with the progress window's caption and pictures",
     Brand},
#endif
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

int RunTool(const Arguments& words) {
    if (words.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    const std::wstring& name = words[0];
    if (AsksForHelp(name) || name == L"help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const Command& command : kCommands) {
        if (name != command.name) continue;
        const Arguments args(words.begin() + 1, words.end());
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

}  // namespace nm::tool
