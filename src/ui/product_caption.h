#pragma once
// The product caption fixed when the updater was built or branded: string
// 171 of the program's string table, absent unless a vendor set it.
#include <string>

namespace nm {

constexpr unsigned kProductCaptionStringId = 171;

// The caption; the translation of "Novamend" when none was set.
std::wstring ProductCaption();

}  // namespace nm
