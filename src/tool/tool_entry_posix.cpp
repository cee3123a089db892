// posix: the native tool's entry; arguments and output in UTF-8.
#include <clocale>
#include <cstring>

#include "base/text.h"
#include "tool/tool_commands.h"

int main(int argc, char** argv) {
    // Wide output needs a locale that can write every character; a machine
    // set to "C" gets UTF-8 all the same.
    const char* locale = std::setlocale(LC_ALL, "");
    if (!locale || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    nm::tool::Arguments words;
    for (int i = 1; i < argc; ++i) words.push_back(nm::text::FromUtf8(argv[i]));
    return nm::tool::RunTool(words);
}
