#include "base/window_iterator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace nm {
namespace {

enum class Shown { no, yes, style_only };

// Top-level popups of this process, hidden, shown, or only marked visible by
// their style (which is all the finder looks at, and saves the display work
// when a test needs many).
class TopLevelWindows {
public:
    TopLevelWindows(int count, Shown shown) {
        static const ATOM window_class = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = ::DefWindowProcW;
            wc.hInstance = ::GetModuleHandleW(nullptr);
            wc.lpszClassName = L"NovamendFinderTestWindow";
            return ::RegisterClassW(&wc);
        }();
        for (int i = 0; i < count; ++i) {
            HWND window = ::CreateWindowExW(0, MAKEINTATOM(window_class), L"finder test", WS_POPUP, 0, 0, 20, 20,
                                            nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
            if (!window) continue;
            if (shown == Shown::yes) ::ShowWindow(window, SW_SHOWNA);
            if (shown == Shown::style_only)
                ::SetWindowLongW(window, GWL_STYLE, ::GetWindowLongW(window, GWL_STYLE) | WS_VISIBLE);
            windows.push_back(window);
        }
    }
    ~TopLevelWindows() {
        // Hidden first: destroying a shown window makes Wine wait for the display.
        for (HWND window : windows) {
            ::ShowWindow(window, SW_HIDE);
            ::DestroyWindow(window);
        }
    }
    bool Contains(HWND window) const { return std::find(windows.begin(), windows.end(), window) != windows.end(); }
    std::vector<HWND> windows;
};

std::vector<HWND> All(CWindowIterator& iterator) {
    std::vector<HWND> found;
    for (HWND window = iterator.First(); window; window = iterator.Next()) found.push_back(window);
    return found;
}

TEST(WindowFinder, FindsOnlyTheVisibleWindowsOfTheProcess) {
    TopLevelWindows visible(3, Shown::yes), hidden(2, Shown::no);
    ASSERT_EQ(visible.windows.size(), 3u);
    ASSERT_EQ(hidden.windows.size(), 2u);

    CMainWindowIterator mine(::GetCurrentProcessId());
    const std::vector<HWND> found = All(mine);
    for (HWND window : visible.windows) EXPECT_NE(std::find(found.begin(), found.end(), window), found.end());
    for (HWND window : found) {
        EXPECT_FALSE(hidden.Contains(window));
        EXPECT_TRUE(::IsWindowVisible(window));
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        EXPECT_EQ(owner, ::GetCurrentProcessId());
    }
    EXPECT_EQ(mine.Count(), found.size());
    EXPECT_EQ(mine.Next(), nullptr);  // stays exhausted

    // The same windows belong to no other process.
    CMainWindowIterator other(::GetCurrentProcessId() + 4);
    for (HWND window = other.First(); window; window = other.Next()) EXPECT_FALSE(visible.Contains(window));

    // The base class takes every top-level window, hidden ones too.
    CWindowIterator every;
    const std::vector<HWND> all = All(every);
    for (HWND window : hidden.windows) EXPECT_NE(std::find(all.begin(), all.end(), window), all.end());
}

TEST(WindowFinder, KeepsTheFirstWindowsUpToItsCapacity) {
    TopLevelWindows visible(5, Shown::yes);
    CMainWindowIterator unlimited(::GetCurrentProcessId());
    const std::vector<HWND> everything = All(unlimited);
    ASSERT_GE(everything.size(), 5u);

    CMainWindowIterator three(::GetCurrentProcessId(), 3);
    const std::vector<HWND> first_three = All(three);
    EXPECT_EQ(first_three, std::vector<HWND>(everything.begin(), everything.begin() + 3));
    // A second pass starts afresh.
    EXPECT_EQ(three.First(), everything.front());
}

TEST(WindowFinder, ReturnsAtMost1024Windows) {
    TopLevelWindows visible(1030, Shown::style_only);
    ASSERT_EQ(visible.windows.size(), 1030u);
    CMainWindowIterator mine(::GetCurrentProcessId());
    EXPECT_EQ(All(mine).size(), 1024u);
}

}  // namespace
}  // namespace nm
