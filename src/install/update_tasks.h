#pragma once
// What an update does once its files are in place, in a fixed order that a
// later start can follow again: each entry's shortcuts, then for each entry
// its registration and the runs it asks for, then the list's run elements.
// The journal notes each task as it begins, so none runs twice.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "list/download_list.h"

namespace nm {

class JournaledUpdate;

struct UpdateTask {
    enum class Kind { Shortcuts, Register, Run, RunElement };
    Kind kind = Kind::Shortcuts;
    size_t entry = 0;     // Shortcuts, Register, Run: the entry of the list
    std::wstring target;  // Register, Run: the file
    size_t element = 0;   // RunElement: the run element's place in the list
};

// The tasks of an update, from the list and where it is installed.
std::vector<UpdateTask> PlanUpdateTasks(const DownLoadList& list, const std::wstring& application_directory);

// Runs every task of the plan that has not begun yet, each noted first.
void RunUpdateTasks(JournaledUpdate& update, const DownLoadList& list, const std::wstring& application_directory,
                    HWND window);

}  // namespace nm
