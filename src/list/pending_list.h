// portable: builds without Win32
#pragma once
// The byte layout of the saved pending list: little-endian, no header; a
// text is a 32-bit count of UTF-16 code units and the units, unterminated.
#include <string>
#include <string_view>

#include "list/download_list.h"

namespace nm::pending_list {

std::string Serialise(const DownLoadList& list);
// Reads into list only when the whole layout is present and consistent:
// every count is checked against the bytes that remain, so damaged input
// never causes a large allocation. False leaves list unchanged.
bool Parse(std::string_view bytes, DownLoadList& list);

}  // namespace nm::pending_list
