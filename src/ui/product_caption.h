#pragma once
// The product caption fixed when the updater was built or branded: string
// IDS_PRODUCT_CAPTION of the program's string table, absent unless a vendor
// set it.
#include <string>

#include "res/resource_ids.h"

namespace nm {

constexpr unsigned kProductCaptionStringId = IDS_PRODUCT_CAPTION;

// The caption; the translation of "Novamend" when none was set.
std::wstring ProductCaption();

}  // namespace nm
