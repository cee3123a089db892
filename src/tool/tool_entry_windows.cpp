// The Windows tool's entry: wide arguments as the system gives them.
#include "tool/tool_commands.h"

int wmain(int argc, wchar_t** argv) { return nm::tool::RunTool(nm::tool::Arguments(argv + 1, argv + argc)); }
