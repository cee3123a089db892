#pragma once
// A path as the Windows code writes it ("\" between folders), as POSIX
// calls take it: UTF-8 with "/". Defined by the native tool's file
// operations (file_ops_posix.cpp).
#include <string>

namespace nm {

std::string PosixPath(const std::wstring& path);

}  // namespace nm
