/*
 * A host application that follows an update of novamend.exe in its own
 * window: a button that starts the updater, the state and the status line,
 * a progress bar, the release notes and the log lines, a check box that
 * holds the cycle between steps and one that abandons it when the window
 * closes. All it knows of the updater comes from novamend_host.h.
 *
 *   host_example.exe [--updater PATH] [--mode WORDS] [--trace FILE]
 *     --updater  the updater to start (default: novamend.exe beside this program)
 *     --mode     the run-mode words put before the window handle (default: /silence)
 *     --trace    append every message received to FILE, a line each, in UTF-8:
 *                  window\t<handle>                          once the window shows
 *                  1974\t<state>\t<files>   1976\t<finished>\t<files>   1978\t<size>\t<received>
 *                  1975\t<text>   1977\t<text>   1040\t<kind>\t<text>
 *                  props\t<novamend.exe>\t<updatefilecount>  when the updater ends, and at close
 *                  exit\t<code>                              when the updater ends
 *                A text at address 0 is written "(address 0)", one without its
 *                terminating zero "(unterminated)"; tabs and line ends in texts
 *                as \t, \r and \n.
 */
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "novamend_host.h"
#include "host_example.h"

#define PROGRESS_STEPS 1000

/* What the window knows of the update. Only the window's thread uses it:
 * the updater's messages are handled on that thread too. */
static struct {
    HWND window;
    wchar_t updater[MAX_PATH];
    const wchar_t* words;
    HANDLE updater_process; /* while an updater we started runs */
    HANDLE trace;
    long files;          /* from the last 1974 or 1976 */
    long finished;       /* from the last 1976 */
    ULONG_PTR file_size; /* from the last 1978 */
    LONG_PTR file_received;
    long progress; /* on the bar; never goes back within one update */
} host;

/* ---- Trace ------------------------------------------------------------ */

static wchar_t* put_unsigned(wchar_t* out, unsigned long long value) {
    wchar_t digits[24];
    int count = 0;
    do {
        digits[count++] = (wchar_t)(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = digits[--count];
    *out = L'\0';
    return out;
}

static wchar_t* put_signed(wchar_t* out, long long value) {
    if (value >= 0) return put_unsigned(out, (unsigned long long)value);
    *out++ = L'-';
    return put_unsigned(out, 0ULL - (unsigned long long)value);
}

static void trace_write(const wchar_t* line) {
    int bytes;
    char* utf8;
    DWORD written;
    if (!host.trace) return;
    bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, NULL, 0, NULL, NULL);
    utf8 = (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)bytes);
    if (!utf8) return;
    WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, bytes, NULL, NULL);
    utf8[bytes - 1] = '\n'; /* in place of the terminating zero: one write per line */
    WriteFile(host.trace, utf8, (DWORD)bytes, &written, NULL);
    HeapFree(GetProcessHeap(), 0, utf8);
}

/* "name\ta\tb" */
static void trace_numbers(const wchar_t* name, unsigned long long a, long long b) {
    wchar_t line[80];
    wchar_t* end = line + lstrlenW(lstrcpyW(line, name));
    *end++ = L'\t';
    end = put_unsigned(end, a);
    *end++ = L'\t';
    put_signed(end, b);
    trace_write(line);
}

/* "head\ttext", or the reason there is no text. */
static void trace_text(const wchar_t* head, const wchar_t* text, const wchar_t* missing) {
    const wchar_t* from = text ? text : missing;
    const SIZE_T room = (SIZE_T)lstrlenW(head) + 2 * (SIZE_T)lstrlenW(from) + 2; /* every unit may be escaped */
    wchar_t* line = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, room * sizeof(wchar_t));
    wchar_t* end;
    if (!line) return;
    end = line + lstrlenW(lstrcpyW(line, head));
    *end++ = L'\t';
    for (; *from; ++from) {
        const wchar_t escape = *from == L'\t' ? L't' : *from == L'\r' ? L'r' : *from == L'\n' ? L'n' : 0;
        if (escape) {
            *end++ = L'\\';
            *end++ = escape;
        } else {
            *end++ = *from;
        }
    }
    *end = L'\0';
    trace_write(line);
    HeapFree(GetProcessHeap(), 0, line);
}

static void trace_properties(void) {
    trace_numbers(L"props", (unsigned long long)novamend_property(host.window, NOVAMEND_PROP_STATE),
                  novamend_property(host.window, NOVAMEND_PROP_FILE_COUNT));
}

/* ---- What the window shows -------------------------------------------- */

/* The text a message carries, copied out of the updater's buffer before the
 * handler returns (free it with HeapFree); NULL when there is none, and
 * *missing says why. */
static wchar_t* copy_text(WPARAM address, const wchar_t** missing) {
    const int length = novamend_text_length(address);
    wchar_t* text;
    if (length < 0) {
        *missing = address ? L"(unterminated)" : L"(address 0)";
        return NULL;
    }
    text = (wchar_t*)HeapAlloc(GetProcessHeap(), 0, ((SIZE_T)length + 1) * sizeof(wchar_t));
    if (!text) {
        *missing = L"(no memory)";
        return NULL;
    }
    novamend_read_text(address, text, length + 1);
    return text;
}

static void show_progress(void) {
    wchar_t line[160];
    wchar_t* end;
    long long part = 0;
    if (host.files > 0) {
        part = (long long)host.finished * PROGRESS_STEPS;
        /* 1978 does not say which file it is about: the bar takes the bytes
         * of the latest one as a part of the next file to finish. */
        if (host.file_size > 0) part += (long long)host.file_received * PROGRESS_STEPS / (long long)host.file_size;
        part /= host.files;
    }
    if (part > PROGRESS_STEPS) part = PROGRESS_STEPS;
    if (part > host.progress) {
        host.progress = (long)part;
        SendDlgItemMessageW(host.window, IDC_PROGRESS, PBM_SETPOS, (WPARAM)host.progress, 0);
    }
    end = line + lstrlenW(lstrcpyW(line, L"Files downloaded: "));
    end = put_signed(end, host.finished);
    lstrcpyW(end, L" of ");
    end = put_signed(end + 4, host.files);
    if (host.file_size > 0) {
        lstrcpyW(end, L"; latest file: ");
        end = put_signed(end + lstrlenW(end), host.file_received);
        lstrcpyW(end, L" of ");
        end = put_unsigned(end + 4, host.file_size);
        lstrcpyW(end, L" bytes");
    }
    SetDlgItemTextW(host.window, IDC_FILES, line);
}

static void show_state(int state, long files) {
    wchar_t line[120];
    host.files = files;
    wsprintfW(line, L"%s (%d): %ld files to update", novamend_state_name(state), state, files);
    SetDlgItemTextW(host.window, IDC_STATE, line);
    if (state == NOVAMEND_STATE_DOWNLOAD_OK || state == NOVAMEND_STATE_COPY_OK) {
        host.progress = PROGRESS_STEPS;
        SendDlgItemMessageW(host.window, IDC_PROGRESS, PBM_SETPOS, PROGRESS_STEPS, 0);
    }
}

static void add_log_line(const wchar_t* text) {
    const LRESULT row = SendDlgItemMessageW(host.window, IDC_LOG, LB_ADDSTRING, 0, (LPARAM)text);
    SendDlgItemMessageW(host.window, IDC_LOG, LB_SETTOPINDEX, (WPARAM)row, 0);
}

/* ---- Starting the updater and its end --------------------------------- */

static void start_update(void) {
    if (host.updater_process) return;
    host.files = host.finished = 0;
    host.file_size = 0;
    host.file_received = 0;
    host.progress = 0;
    SendDlgItemMessageW(host.window, IDC_PROGRESS, PBM_SETPOS, 0, 0);
    SendDlgItemMessageW(host.window, IDC_LOG, LB_RESETCONTENT, 0, 0);
    SetDlgItemTextW(host.window, IDC_NOTES, L"");
    SetDlgItemTextW(host.window, IDC_FILES, L"");
    host.updater_process = novamend_start(host.updater, host.words, host.window);
    if (!host.updater_process) {
        SetDlgItemTextW(host.window, IDC_STATE, L"The updater could not be started.");
        return;
    }
    SetDlgItemTextW(host.window, IDC_STATE, L"Starting the updater...");
    EnableWindow(GetDlgItem(host.window, IDC_START), FALSE);
    /* The updater keeps an abandon request it has seen for the rest of its
     * run: the box stays as it is until the update ends. */
    EnableWindow(GetDlgItem(host.window, IDC_ABANDON), FALSE);
}

static void updater_ended(void) {
    DWORD code = 0;
    wchar_t line[160];
    const long state = novamend_property(host.window, NOVAMEND_PROP_STATE);
    GetExitCodeProcess(host.updater_process, &code);
    CloseHandle(host.updater_process);
    host.updater_process = NULL;
    trace_properties();
    put_unsigned(lstrcpyW(line, L"exit\t") + 5, code);
    trace_write(line);
    if (state != NOVAMEND_STATE_END)
        /* It stopped short of its end: when it asked for administrator
         * rights, a raised copy goes on and keeps sending its messages. */
        wsprintfW(line, L"The updater ended at %s.", novamend_state_name((int)state));
    else if (code == NOVAMEND_EXIT_NEW_VERSION)
        lstrcpyW(line, L"Done: a new version is published.");
    else if (code > 0)
        wsprintfW(line, L"Done: %lu files needed an update.", code);
    else
        lstrcpyW(line, L"Done: nothing needed an update.");
    SetDlgItemTextW(host.window, IDC_STATUS, line);
    EnableWindow(GetDlgItem(host.window, IDC_START), TRUE);
    EnableWindow(GetDlgItem(host.window, IDC_ABANDON), TRUE);
}

/* ---- The window --------------------------------------------------------- */

static INT_PTR CALLBACK host_dialog(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const wchar_t* missing = NULL;
    wchar_t* text;
    switch (message) {
    case WM_INITDIALOG:
        host.window = window;
        /* Before any updater starts: every message, and the abandon box's choice. */
        novamend_register(window, FALSE, TRUE);
        CheckDlgButton(window, IDC_ABANDON, BST_CHECKED);
        SendDlgItemMessageW(window, IDC_PROGRESS, PBM_SETRANGE32, 0, PROGRESS_STEPS);
        return TRUE;

    /* The updater waits for each of these: take what is needed and return. */
    case NOVAMEND_MSG_STATE:
        trace_numbers(L"1974", wparam, lparam);
        show_state((int)wparam, (long)lparam);
        return TRUE;
    case NOVAMEND_MSG_LOG:
        text = copy_text(wparam, &missing);
        trace_text(L"1975", text, missing);
        add_log_line(text ? text : missing);
        HeapFree(GetProcessHeap(), 0, text);
        return TRUE;
    case NOVAMEND_MSG_DOWNLOADED:
        trace_numbers(L"1976", wparam, lparam);
        host.finished = (long)wparam;
        host.files = (long)lparam;
        host.file_size = 0; /* the next 1978 may be of another file */
        host.file_received = 0;
        show_progress();
        return TRUE;
    case NOVAMEND_MSG_DESCRIPTION:
        text = copy_text(wparam, &missing);
        trace_text(L"1977", text, missing);
        SetDlgItemTextW(window, IDC_NOTES, text ? text : missing);
        HeapFree(GetProcessHeap(), 0, text);
        return TRUE;
    case NOVAMEND_MSG_FILE_BYTES:
        trace_numbers(L"1978", wparam, lparam);
        host.file_size = wparam;
        host.file_received = lparam;
        show_progress();
        return TRUE;
    case NOVAMEND_MSG_STATUS_TEXT: {
        wchar_t kind[24];
        text = copy_text(wparam, &missing);
        put_signed(lstrcpyW(kind, L"1040\t") + 5, lparam);
        trace_text(kind, text, missing);
        SetDlgItemTextW(window, IDC_STATUS, text ? text : missing);
        HeapFree(GetProcessHeap(), 0, text);
        return TRUE;
    }

    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_START:
            start_update();
            return TRUE;
        case IDC_PAUSE: /* the cycle holds before its next step while this is on */
            novamend_set_property(window, NOVAMEND_PROP_PAUSED, IsDlgButtonChecked(window, IDC_PAUSE) == BST_CHECKED);
            return TRUE;
        case IDC_ABANDON:
            novamend_set_property(window, NOVAMEND_PROP_EXIT_WHEN_CLOSED,
                                  IsDlgButtonChecked(window, IDC_ABANDON) == BST_CHECKED);
            return TRUE;
        case IDCANCEL: /* Esc */
            SendMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        /* An updater still running sees the window gone at its next look
         * between steps and, when asked to, abandons the cycle. */
        trace_properties();
        DestroyWindow(window);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    case WM_NCDESTROY:
        /* Only now: while the window exists without its pause, the updater
         * takes it as a host that lets the cycle go on. */
        novamend_unregister(window);
        return TRUE;
    }
    return FALSE;
}

static void read_arguments(wchar_t** arguments, int count) {
    int i;
    wchar_t* name;
    GetModuleFileNameW(NULL, host.updater, MAX_PATH);
    name = host.updater + lstrlenW(host.updater);
    while (name > host.updater && name[-1] != L'\\') --name;
    lstrcpynW(name, L"novamend.exe", (int)(MAX_PATH - (name - host.updater)));
    host.words = L"/silence";
    for (i = 1; i + 1 < count; i += 2) {
        if (lstrcmpW(arguments[i], L"--updater") == 0) {
            lstrcpynW(host.updater, arguments[i + 1], MAX_PATH);
        } else if (lstrcmpW(arguments[i], L"--mode") == 0) {
            host.words = arguments[i + 1];
        } else if (lstrcmpW(arguments[i], L"--trace") == 0) {
            host.trace = CreateFileW(arguments[i + 1], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (host.trace == INVALID_HANDLE_VALUE) host.trace = NULL;
        }
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR command_line, int show) {
    INITCOMMONCONTROLSEX controls;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    wchar_t line[40];
    MSG message;
    (void)previous;
    (void)command_line;
    if (!arguments) return 1;
    read_arguments(arguments, count);
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);
    if (!CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_HOST), NULL, host_dialog, 0)) return 2;
    ShowWindow(host.window, show);
    put_unsigned(lstrcpyW(line, L"window\t") + 7, (ULONG_PTR)host.window);
    trace_write(line);

    /* The message loop also waits for the updater's end, so the window is
     * never blocked: the updater's messages need this thread to answer. */
    for (;;) {
        const DWORD waited = MsgWaitForMultipleObjects(host.updater_process ? 1 : 0, &host.updater_process, FALSE,
                                                       INFINITE, QS_ALLINPUT);
        if (host.updater_process && waited == WAIT_OBJECT_0) updater_ended();
        while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                if (host.updater_process) CloseHandle(host.updater_process);
                if (host.trace) CloseHandle(host.trace);
                LocalFree(arguments);
                return (int)message.wParam;
            }
            if (!IsDialogMessageW(host.window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
}
