#pragma once
// What the vendor's list says about its own release, judged after the list
// is read: an expired signed list is refused; a paused release, or one whose
// staged rollout has not reached this machine, leaves nothing to update.
#include <string>

#include "app/update_context.h"

namespace nm {

enum class ReleaseVerdict { proceed, hold, refuse };

// signed_list: the list stood on the vendor's signature ([UPDATEINFO]
// ListPublicKey), so its expiry can be trusted. On refuse, why holds the
// text to show; on hold the reason has been logged.
ReleaseVerdict JudgeRelease(UpdateContext& context, bool signed_list, std::wstring& why);

}  // namespace nm
