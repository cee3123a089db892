#include "app/steps/release_gate.h"

#include <windows.h>

#include <cstdint>

#include "app/machine_identifier.h"
#include "base/text.h"
#include "list/release_control.h"
#include "services/log.h"
#include "services/process_services.h"

namespace nm {

namespace {

std::int64_t UtcNowSeconds() {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (std::uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return static_cast<std::int64_t>((ticks - 116444736000000000ULL) / 10000000ULL);
}

// A check the user asked for in a window of the updater.
bool UserAskedInVisibleMode(RunMode mode) { return mode == RunMode::Default || mode == RunMode::CheckForUpdates; }

bool OutsideRollout(UpdateContext& context, int percent) {
    const DownLoadList& list = context.list;
    const std::wstring share = std::to_wstring(percent);
    if (list.release_control.rollout_user_checks && UserAskedInVisibleMode(context.run_mode)) {
        WriteLog(text::Format(TranslateMain(L"The update goes to %s percent of machines; a check the user asked for "
                                            L"takes it now."),
                              {share}));
        return false;
    }
    const std::wstring directory = context.settings.ApplicationDirectory();
    const std::wstring identifier = MachineIdentifier(directory);
    if (identifier.empty()) {
        WriteLog(text::Format(TranslateMain(L"The update goes to %s percent of machines; this machine waits, as it "
                                            L"cannot keep its rollout identifier in %s."),
                              {share, MachineIdentifierFile(directory)}));
        return true;
    }
    // The release mixes in, so that the same machines are not always first.
    const std::wstring release = list.guid.empty() ? std::to_wstring(list.serial) : list.guid;
    const int bucket = release_control::RolloutBucket(identifier, release);
    const bool inside = release_control::InRollout(bucket, percent);
    WriteLog(text::Format(TranslateMain(inside ? L"The update goes to %s percent of machines; this machine (bucket %s) "
                                                 L"is among them."
                                               : L"The update goes to %s percent of machines; this machine (bucket %s) "
                                                 L"is not among them yet."),
                          {share, std::to_wstring(bucket)}));
    return !inside;
}

}  // namespace

ReleaseVerdict JudgeRelease(UpdateContext& context, bool signed_list, std::wstring& why) {
    const ReleaseControl& control = context.list.release_control;
    // Anyone who can change an unsigned list can change its expiry too, and a
    // wrong clock would stop updates for nothing: only a signed expiry counts.
    if (signed_list && !control.expires.empty()) {
        const auto expires = release_control::ParseUtcTime(control.expires);
        if (!expires) {
            why =
                text::Format(TranslateMain(L"The expiry time of the list file cannot be read: %s"), {control.expires});
            return ReleaseVerdict::refuse;
        }
        if (UtcNowSeconds() >= *expires) {
            why = text::Format(TranslateMain(L"The list file has expired (%s)."), {control.expires});
            return ReleaseVerdict::refuse;
        }
    }
    if (control.paused) {
        WriteLog(TranslateMain(L"The vendor has paused updates."));
        return ReleaseVerdict::hold;
    }
    if (control.rollout_percent && *control.rollout_percent < 100 && OutsideRollout(context, *control.rollout_percent))
        return ReleaseVerdict::hold;
    return ReleaseVerdict::proceed;
}

}  // namespace nm
