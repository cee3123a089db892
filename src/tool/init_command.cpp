// portable: builds without Win32
// init: a commented settings file with the keys a vendor sets first, chosen
// for a first deployment, to edit and then brand into the updater.
#include <cstdio>
#include <string_view>

#include "base/file_ops.h"
#include "tool/tool_commands.h"

namespace nm::tool {

namespace {
// ASCII only: the updater reads its settings in the ANSI code page. No
// comment holds "=", which the profile functions would take for a key.
constexpr std::string_view kSample =
    "; Novamend settings: the keys a vendor sets first. Edit the values, then\r\n"
    "; embed this file in the updater (it refuses a ListURL or ListPublicKey\r\n"
    "; the updater could not use):\r\n"
    ";   novamend-tool brand novamend.exe THIS_FILE branded-novamend.exe\r\n"
    "; and check each release before it ships:\r\n"
    ";   novamend-tool verify branded-novamend.exe RELEASE_DIR\r\n"
    "; Every key is described in docs/configuring.md.\r\n"
    "\r\n"
    "[UPDATEINFO]\r\n"
    "; The address of your update list, http:// or https://. Publish the list\r\n"
    "; (novamend-tool makelist) beside the files of the release.\r\n"
    "ListURL=https://updates.example.com/myapp/novamend.xml\r\n"
    "; Signed releases: the line novamend-tool keygen printed. Without the key\r\n"
    "; the updater takes unsigned lists, and still holds every file to the size\r\n"
    "; and sha256 the list gives.\r\n"
    ";ListPublicKey\r\n"
    "\r\n"
    "[APPLICATION]\r\n"
    "; Your main program, relative to the application directory.\r\n"
    "Application=myapp.exe\r\n"
    "; Your application's name: the caption of the updater's message boxes, and\r\n"
    "; the folder of its application directory.\r\n"
    "Name=MyApp\r\n"
    "\r\n"
    "[Novamend]\r\n"
    "; How the updater runs when no word on its command line says otherwise:\r\n"
    "; showwhenupdate checks without a window and opens the progress window only\r\n"
    "; for an update; silence updates without any window; appenter asks first\r\n"
    "; and starts your program after; left empty, the whole update runs in the\r\n"
    "; progress window.\r\n"
    "Mode=showwhenupdate\r\n"
    "; 0 asks the server at every check. 1, the value when the key is left out,\r\n"
    "; lets /checkforupdates and the appenter modes compare the list an earlier\r\n"
    "; run fetched: on a fresh install no server is asked and nothing is found.\r\n"
    "QuickCheck=0\r\n"
    "; The log, in the application directory: keep it for a first deployment,\r\n"
    "; it names every request that failed and why.\r\n"
    "Log=novamend.log\r\n"
    "; 1: the updater updates the folder it is installed in, beside your\r\n"
    "; program (Program Files and the like). 0, the value when the key is left\r\n"
    "; out: a folder of its own under the drive root.\r\n"
    "BesideApplication=1\r\n"
    "; Texts in another language: a .lan file beside the updater, or one of the\r\n"
    "; built-in novamendcn.lan and novamendbig.lan. Without one, English.\r\n"
    ";Language\r\n";
}  // namespace

int Init(const Arguments& args) {
    if (args.size() != 1) {
        std::fwprintf(stderr, L"usage: novamend-tool init SETTINGS_FILE\n");
        return 2;
    }
    const std::wstring& path = args[0];
    // A vendor's settings are never replaced: the file must be new.
    switch (files::WriteNew(path, kSample)) {
    case files::NewFile::kExists:
        return Refuse(L"init", L"the settings file exists already (it is never replaced)", path);
    case files::NewFile::kFailed:
        return Fail(L"init", L"cannot write", path);
    case files::NewFile::kWritten:
        break;
    }
    std::fwprintf(stdout, L"%ls: edit ListURL, Application and Name, then brand the updater with it\n", path.c_str());
    return 0;
}

}  // namespace nm::tool
