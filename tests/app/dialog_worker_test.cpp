#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "app/update_app.h"
#include "app/update_cycle.h"
#include "base/unique_handle.h"
#include "scratch_directory.h"
#include "services/update_state.h"

namespace nm {
namespace {

// A window that records the worker's commands, pumped until 4380 arrives.
class CommandRecorder {
public:
    CommandRecorder() {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_COMMAND) {
                auto* self = reinterpret_cast<CommandRecorder*>(GetWindowLongPtrW(w, GWLP_USERDATA));
                if (self) self->commands.push_back(static_cast<UINT>(wp));
                return 0;
            }
            return DefWindowProcW(w, m, wp, lp);
        };
        window_class.lpszClassName = L"NovamendWorkerCommands";
        RegisterClassW(&window_class);
        window = CreateWindowW(L"NovamendWorkerCommands", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CommandRecorder() { DestroyWindow(window); }

    // Runs the worker on its own thread and pumps until it says it finished.
    void RunWorker() {
        unique_handle thread(CreateThread(nullptr, 0, DialogWorker, window, 0, nullptr));
        HANDLE waited = thread.get();
        while (WaitForSingleObject(waited, 0) != WAIT_OBJECT_0) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            MsgWaitForMultipleObjects(1, &waited, FALSE, 50, QS_ALLINPUT);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    HWND window = nullptr;
    std::vector<UINT> commands;
};

class DialogWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.settings.SetApplicationDirectory(scratch.path() + L"\\");
        app.variables.Clear();
        app.list.RemoveAll();
    }
    void TearDown() override {
        app.list.update_state = UpdateNone;
        app.variables.Clear();
    }
    CUpdateApp& app = theApp();
    ScratchDirectory scratch;
};

TEST_F(DialogWorkerTest, CheckThatFindsNothingCompletesWithoutTheLaterSteps) {
    app.list.update_state = UpdateCheckRemoteOk;
    CommandRecorder recorder;
    recorder.RunWorker();
    EXPECT_EQ(recorder.commands, (std::vector<UINT>{kCommandCycleCompleted, kCommandWorkerFinished}));
    EXPECT_EQ(CurrentUpdateState(), UpdateCheckRemoteOk);
}

TEST_F(DialogWorkerTest, FailedCheckSendsOnlyTheEnd) {
    // A list address too short to be one: the check ends in its error state.
    scratch.Write(L"novamend.ini", "[UPDATEINFO]\r\nListURL=x\r\n");
    CommandRecorder recorder;
    recorder.RunWorker();
    EXPECT_EQ(CurrentUpdateState(), UpdateCheckRemoteError);
    ASSERT_FALSE(recorder.commands.empty());
    EXPECT_EQ(recorder.commands.back(), kCommandWorkerFinished);
    for (UINT command : recorder.commands) EXPECT_NE(command, kCommandCycleCompleted);
}

TEST_F(DialogWorkerTest, FailingDownloadStopsTheCycleBeforeTheLocalCheck) {
    scratch.Write(L"novamend.ini",
                  "[Novamend]\r\nTempAppPath=1\r\nConnectTryCount=1\r\n"
                  "[UPDATEINFO]\r\nListURL=http://127.0.0.1:9/novamend.xml\r\n");
    app.list.update_state = UpdateCheckRemoteOk;
    updatefileinfo entry;
    entry.path = L"a.txt";
    entry.ver = L"1";
    entry.url = L"http://127.0.0.1:9/a.txt";
    app.list.entries.push_back(entry);
    CommandRecorder recorder;
    recorder.RunWorker();
    // Nothing finished, so the failed step is not repeated; no local check follows.
    EXPECT_EQ(CurrentUpdateState(), UpdateDownloadError);
    EXPECT_EQ(recorder.commands, (std::vector<UINT>{kCommandWorkerFinished}));
}

}  // namespace
}  // namespace nm
