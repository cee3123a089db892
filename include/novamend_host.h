/*
 * novamend_host.h: what a host application needs to follow an update of
 * novamend.exe in its own window. Plain C over <windows.h>, usable from C++;
 * docs/host-integration.md explains each item and examples/host/ shows them
 * at work.
 *
 * The updater is built from this same header, so its numbers and names are
 * the ones the updater uses.
 *
 * A host passes one of its windows on the updater's command line. The
 * updater then sends that window the messages below, always with
 * SendMessage: it waits until the host's handler returns, so a handler must
 * be short and must never wait for the updater.
 *
 * Defining NOVAMEND_HOST_NUMBERS_ONLY before the include leaves out the
 * helpers (and <windows.h>); the numbers need no Win32.
 */
#ifndef NOVAMEND_HOST_NUMBERS
#define NOVAMEND_HOST_NUMBERS

#include <stddef.h>

/* ---- Messages to the host window ------------------------------------- */

/* The update state changed. wParam: the new state (NOVAMEND_STATE_...),
 * lParam: the number of files that need an update. Only while the window's
 * property NOVAMEND_PROP_NEED_MESSAGES is NOVAMEND_ON. */
#define NOVAMEND_MSG_STATE 1974
/* A line of the updater's log. wParam: address of the text in the host's own
 * memory (see "Texts" below), lParam: 0. Always sent. */
#define NOVAMEND_MSG_LOG 1975
/* The download step's count of finished files changed or a file started.
 * wParam: files finished so far, lParam: number of files. Only while
 * NOVAMEND_PROP_NEED_MESSAGES is on. */
#define NOVAMEND_MSG_DOWNLOADED 1976
/* The update's description (the list's release notes), once after the
 * check. wParam: address of the text, lParam: 0. Only while
 * NOVAMEND_PROP_NEED_MESSAGES is on, and only when the list has one. */
#define NOVAMEND_MSG_DESCRIPTION 1977
/* Bytes of a file being downloaded. wParam: the file's size in bytes,
 * lParam: its bytes received so far. Always sent, for every block. */
#define NOVAMEND_MSG_FILE_BYTES 1978
/* A status text, the line the updater's own window would show. wParam:
 * address of the text, lParam: one of NOVAMEND_STATUS_... Always sent. */
#define NOVAMEND_MSG_STATUS_TEXT 1040

/* lParam of NOVAMEND_MSG_STATUS_TEXT: what kind of line it is. */
#define NOVAMEND_STATUS_PROGRESS (-1) /* a progress line: the next one replaces it */
#define NOVAMEND_STATUS_PROBLEM 0     /* something went wrong, or a plain note */
#define NOVAMEND_STATUS_STEP 1        /* a step or an action begins */
#define NOVAMEND_STATUS_DONE 7        /* a closing success line */

/* ---- Window properties ----------------------------------------------- */

/* Each holds a small number. A host sets the first three on the window it
 * passes; the updater sets the last two on it at every state change. */
#define NOVAMEND_PROP_NEED_MESSAGES L"novamend.needmsg"              /* on: send 1974, 1976 and 1977 */
#define NOVAMEND_PROP_PAUSED L"novamend.paused"                      /* on: hold the cycle before its next step */
#define NOVAMEND_PROP_EXIT_WHEN_CLOSED L"novamend.exitwhenwndkilled" /* on: abandon once it is gone */
#define NOVAMEND_PROP_STATE L"novamend.exe"                          /* set by the updater: the state */
#define NOVAMEND_PROP_FILE_COUNT L"updatefilecount"                  /* set by the updater: the number of files */
/* The value that means "on"; every other value, and no property, is off. */
#define NOVAMEND_ON 1974

/* ---- Update states (wParam of 1974, value of "novamend.exe") --------- */

#define NOVAMEND_STATE_NONE 0               /* UpdateNone: the updater has started */
#define NOVAMEND_STATE_CHECK_REMOTE 1       /* UpdateCheckRemote: fetching and comparing the update list */
#define NOVAMEND_STATE_CHECK_REMOTE_ERROR 2 /* UpdateCheckRemoteError: the list could not be had */
#define NOVAMEND_STATE_CHECK_REMOTE_OK 3    /* UpdateCheckRemoteOk: checked; lParam files need an update (may be 0) */
#define NOVAMEND_STATE_DOWNLOAD 4           /* UpdateDownload: downloading those files */
#define NOVAMEND_STATE_DOWNLOAD_ERROR 5     /* UpdateDownloadError: some failed (the step may be tried again) */
#define NOVAMEND_STATE_DOWNLOAD_OK 6        /* UpdateDownloadOk: every file is downloaded */
#define NOVAMEND_STATE_CHECK_LOCAL 7        /* UpdateCheckLocal: closing the application, probing the files */
#define NOVAMEND_STATE_CHECK_LOCAL_ERROR 8  /* UpdateCheckLocalError: a file cannot be replaced now */
#define NOVAMEND_STATE_CHECK_LOCAL_OK 9     /* UpdateCheckLocalOk: every file can be replaced */
#define NOVAMEND_STATE_COPY 10              /* UpdateCopy: replacing the files, running the list's actions */
#define NOVAMEND_STATE_COPY_ERROR 11        /* UpdateCopyError: replacing failed */
#define NOVAMEND_STATE_COPY_OK 12           /* UpdateCopyOk: the update is installed */
#define NOVAMEND_STATE_END 13               /* UpdateEnd: this updater process is done */
#define NOVAMEND_STATE_COUNT 14

/* ---- Texts ----------------------------------------------------------- */

/* A log line or status text arrives in a buffer of this size that the
 * updater keeps in the host's process: at most NOVAMEND_TEXT_MAX_CHARS
 * UTF-16 units and a terminating zero. It is overwritten by the next text,
 * so copy it before the handler returns. The description arrives in a
 * buffer of its own, whole and terminated, released when the handler
 * returns. An address of 0 means the updater could not reach the host's
 * memory (another user's process, for one). */
#define NOVAMEND_TEXT_BUFFER_BYTES 2048
#define NOVAMEND_TEXT_MAX_CHARS 1023

/* ---- Exit code ------------------------------------------------------- */

/* What the updater's process exit code says: above 0 and below
 * NOVAMEND_EXIT_NEW_VERSION, the number of files that needed an update;
 * NOVAMEND_EXIT_NEW_VERSION, no file counted but the list names another
 * version than the installed one; 0, nothing to update; NOVAMEND_EXIT_FAILED
 * (negative, so that a caller testing "above 0" for "updates found" is not
 * misled), the check, the download or the install failed. */
#define NOVAMEND_EXIT_NOTHING 0
#define NOVAMEND_EXIT_NEW_VERSION 2147483647
#define NOVAMEND_EXIT_FAILED (-1)

/* The name of a state code ("UpdateNone" ... "UpdateEnd"), the same names
 * the settings' [UpdateEvent] keys use; "" for any other code. */
static inline const wchar_t* novamend_state_name(int code) {
    static const wchar_t* const names[NOVAMEND_STATE_COUNT] = {
        L"UpdateNone",          L"UpdateCheckRemote", L"UpdateCheckRemoteError",
        L"UpdateCheckRemoteOk", L"UpdateDownload",    L"UpdateDownloadError",
        L"UpdateDownloadOk",    L"UpdateCheckLocal",  L"UpdateCheckLocalError",
        L"UpdateCheckLocalOk",  L"UpdateCopy",        L"UpdateCopyError",
        L"UpdateCopyOk",        L"UpdateEnd",
    };
    return code >= 0 && code < NOVAMEND_STATE_COUNT ? names[code] : L"";
}

#endif /* NOVAMEND_HOST_NUMBERS */

/* ---- Helpers (Win32) ------------------------------------------------- */

#if defined(_WIN32) && !defined(NOVAMEND_HOST_NUMBERS_ONLY) && !defined(NOVAMEND_HOST_HELPERS)
#define NOVAMEND_HOST_HELPERS

#include <windows.h>

/* Sets one of the host's properties on the window to on or off. */
static inline BOOL novamend_set_property(HWND window, const wchar_t* name, BOOL on) {
    return SetPropW(window, name, (HANDLE)(ULONG_PTR)(on ? NOVAMEND_ON : 0));
}

/* The number a property holds: for NOVAMEND_PROP_STATE and
 * NOVAMEND_PROP_FILE_COUNT, what the updater last set; 0 when unset. */
static inline long novamend_property(HWND window, const wchar_t* name) {
    return (long)(LONG_PTR)GetPropW(window, name);
}

/* Makes the window a host before the updater starts: it asks for every
 * message, and holds the cycle and abandons it with the window as given.
 * Pause and abandon can be changed at any time later. */
static inline BOOL novamend_register(HWND window, BOOL paused, BOOL abandon_when_closed) {
    return novamend_set_property(window, NOVAMEND_PROP_NEED_MESSAGES, TRUE) &&
           novamend_set_property(window, NOVAMEND_PROP_PAUSED, paused) &&
           novamend_set_property(window, NOVAMEND_PROP_EXIT_WHEN_CLOSED, abandon_when_closed);
}

/* Removes every property of the protocol from the window, those the updater
 * set included, as Windows wants before a window is destroyed. Call it in
 * WM_NCDESTROY, not before: a window that still exists without its pause
 * lets the cycle go on. The updater keeps an abandon request it has seen. */
static inline void novamend_unregister(HWND window) {
    RemovePropW(window, NOVAMEND_PROP_NEED_MESSAGES);
    RemovePropW(window, NOVAMEND_PROP_PAUSED);
    RemovePropW(window, NOVAMEND_PROP_EXIT_WHEN_CLOSED);
    RemovePropW(window, NOVAMEND_PROP_STATE);
    RemovePropW(window, NOVAMEND_PROP_FILE_COUNT);
}

/* Starts the updater for the window: "<updater>" <words> <window handle in
 * decimal>. words are run-mode words such as L"/silence", or NULL for the
 * mode the updater's settings choose. Returns the updater's process handle
 * (wait on it from another thread or with MsgWaitForMultipleObjects, then
 * read its exit code and close it), or NULL when it could not start. */
static inline HANDLE novamend_start(const wchar_t* updater, const wchar_t* words, HWND window) {
    wchar_t digits[24];
    wchar_t* command;
    ULONG_PTR handle = (ULONG_PTR)window;
    int count = 0, length, i;
    STARTUPINFOW startup;
    PROCESS_INFORMATION process;
    BOOL started;
    do {
        digits[count++] = (wchar_t)(L'0' + handle % 10);
        handle /= 10;
    } while (handle != 0);
    length = lstrlenW(updater) + (words ? lstrlenW(words) : 0) + count + 8;
    command = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)length * sizeof(wchar_t));
    if (!command) return NULL;
    lstrcpyW(command, L"\"");
    lstrcatW(command, updater);
    lstrcatW(command, L"\" ");
    if (words && words[0]) {
        lstrcatW(command, words);
        lstrcatW(command, L" ");
    }
    length = lstrlenW(command);
    for (i = count - 1; i >= 0; --i) command[length++] = digits[i];
    command[length] = L'\0';
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    started = CreateProcessW(updater, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process);
    HeapFree(GetProcessHeap(), 0, command);
    if (!started) return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

/* The length in UTF-16 units of the text at the address a message carries
 * (1975, 1977, 1040), read only within the memory committed there; -1 for
 * address 0 or when no terminating zero is found in that memory. */
static inline int novamend_text_length(WPARAM address) {
    MEMORY_BASIC_INFORMATION region;
    const wchar_t* text = (const wchar_t*)address;
    const wchar_t* end;
    const wchar_t* p;
    if (address == 0 || !VirtualQuery(text, &region, sizeof(region))) return -1;
    if (region.State != MEM_COMMIT || (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) return -1;
    end = (const wchar_t*)((const char*)region.BaseAddress + region.RegionSize);
    for (p = text; p < end; ++p)
        if (*p == L'\0') return (int)(p - text);
    return -1;
}

/* Copies the text at the address into out (room for capacity units, the
 * terminating zero included), cutting it when it does not fit. Returns the
 * units copied, or -1 (out empty) as novamend_text_length does. */
static inline int novamend_read_text(WPARAM address, wchar_t* out, int capacity) {
    int length = novamend_text_length(address);
    if (capacity <= 0) return -1;
    out[0] = L'\0';
    if (length < 0) return -1;
    if (length > capacity - 1) length = capacity - 1;
    CopyMemory(out, (const void*)address, (SIZE_T)length * sizeof(wchar_t));
    out[length] = L'\0';
    return length;
}

#endif /* helpers */
