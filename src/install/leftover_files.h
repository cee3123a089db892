#pragma once

namespace nm {

// Deletes the files an earlier replacement moved aside (__oldfiles.lst).
void CleanUpLeftovers();

}  // namespace nm
