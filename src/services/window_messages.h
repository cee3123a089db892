#pragma once
// Every window message of the updater's protocol: what the steps send to a
// progress window, what host applications receive, and the commands between
// the cycle's worker and its dialog. All are sent synchronously unless said.
// What hosts receive comes from the public header for hosts.
#include <windows.h>

#include "novamend_host.h"

namespace nm {

// Progress of the steps, to the window a step was given.
constexpr UINT UM_STATUSTEXT = NOVAMEND_MSG_STATUS_TEXT;  // text address, status code (-1, 0, 1 or 7)
constexpr UINT UM_FILESIZE = 1044;                        // row, file size
constexpr UINT UM_FILEDONE = 1045;                        // row, bytes of the file received
constexpr UINT UM_FILETHREADS = 1046;                     // row, segment threads running
constexpr UINT UM_COPYPROGRESS = 1047;                    // entry index, entry count
constexpr UINT UM_FILESTATE = 1067;                       // row, one of the file states below
constexpr UINT UM_SEGDONE = 1068;                         // (segment << 16) | (row & 0xFFFF), bytes of that segment
constexpr UINT UM_SEGSIZE = 1069;                         // row, segment size

// Status codes of UM_STATUSTEXT.
constexpr LPARAM kStatusProgress = NOVAMEND_STATUS_PROGRESS;  // a progress line, replaced by the next one
constexpr LPARAM kStatusProblem = NOVAMEND_STATUS_PROBLEM;
constexpr LPARAM kStatusStep = NOVAMEND_STATUS_STEP;  // a step or action line
constexpr LPARAM kStatusDone = NOVAMEND_STATUS_DONE;  // a closing success line

// File states of UM_FILESTATE.
constexpr LPARAM kFileStateFetching = 8;
constexpr LPARAM kFileStateFinished = 7;
constexpr LPARAM kFileStateFailed = 0;

// To host windows.
constexpr UINT UM_HOST_STATE = NOVAMEND_MSG_STATE;              // update state, number of files
constexpr UINT UM_HOST_LOG = NOVAMEND_MSG_LOG;                  // text address of a log line, 0
constexpr UINT UM_HOST_DOWNLOADED = NOVAMEND_MSG_DOWNLOADED;    // files done, number of files
constexpr UINT UM_HOST_DESCRIPTION = NOVAMEND_MSG_DESCRIPTION;  // text address of the update's description, 0
constexpr UINT UM_HOST_FILEBYTES = NOVAMEND_MSG_FILE_BYTES;     // file size, bytes of it received

// WM_COMMAND identifiers between the cycle's worker and its dialog.
constexpr UINT kCommandCheckDone = 1066;       // posted to the dialog's parent after a successful check
constexpr UINT kCommandDownloadDone = 1070;    // a download for a dialog ended well
constexpr UINT kCommandDownloadFailed = 1071;  // a download for a dialog failed
constexpr UINT kCommandCheckFinished = 3246;   // posted to the dialog when the check wrapper ends
constexpr UINT kCommandCycleCompleted = 4323;  // the copy step ended well
constexpr UINT kCommandWorkerFinished = 4380;  // the worker is about to return

}  // namespace nm
