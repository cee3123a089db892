#pragma once
// The tray mode as the program sees it: the icon in the notification area
// with its notification window, until the user or the settings end it.
#include <functional>

#include "list/download_list.h"

namespace nm {

// What the tray window runs through the program that shows it.
struct TrayWindowActions {
    // The cycle's first step without a window, on a worker thread; the
    // states it sets reach the window while it is a host window.
    std::function<void()> check;
    // The whole cycle in the progress dialog without an owner; returns when
    // that dialog has closed. `automatic` when the countdown started it,
    // not the user.
    std::function<void(bool automatic)> update;
};

// Shows the tray window modally; false when it could not be shown.
bool ShowTrayWindow(DownLoadList& list, TrayWindowActions actions);

}  // namespace nm
