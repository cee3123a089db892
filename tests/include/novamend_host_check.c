/* The public header for hosts in a C translation unit of its own: every
 * helper called and every number used where C wants a constant, so that a
 * C++ habit creeping into the header fails the build of this file. */
#include "novamend_host.h"

static const int states[NOVAMEND_STATE_COUNT] = {
    NOVAMEND_STATE_NONE, NOVAMEND_STATE_CHECK_REMOTE, NOVAMEND_STATE_CHECK_REMOTE_ERROR,
    NOVAMEND_STATE_CHECK_REMOTE_OK, NOVAMEND_STATE_DOWNLOAD, NOVAMEND_STATE_DOWNLOAD_ERROR,
    NOVAMEND_STATE_DOWNLOAD_OK, NOVAMEND_STATE_CHECK_LOCAL, NOVAMEND_STATE_CHECK_LOCAL_ERROR,
    NOVAMEND_STATE_CHECK_LOCAL_OK, NOVAMEND_STATE_COPY, NOVAMEND_STATE_COPY_ERROR, NOVAMEND_STATE_COPY_OK,
    NOVAMEND_STATE_END,
};

int novamend_host_check(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

int novamend_host_check(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    wchar_t text[NOVAMEND_TEXT_BUFFER_BYTES / sizeof(wchar_t)];
    HANDLE updater;
    int sum = 0, i;
    switch (message) {
    case NOVAMEND_MSG_STATE:
    case NOVAMEND_MSG_DOWNLOADED:
    case NOVAMEND_MSG_FILE_BYTES:
        sum = (int)wparam + (int)lparam;
        break;
    case NOVAMEND_MSG_LOG:
    case NOVAMEND_MSG_DESCRIPTION:
        sum = novamend_read_text(wparam, text, NOVAMEND_TEXT_MAX_CHARS + 1) + novamend_text_length(wparam);
        break;
    case NOVAMEND_MSG_STATUS_TEXT:
        if (lparam == NOVAMEND_STATUS_PROGRESS || lparam == NOVAMEND_STATUS_PROBLEM ||
            lparam == NOVAMEND_STATUS_STEP || lparam == NOVAMEND_STATUS_DONE)
            sum = novamend_read_text(wparam, text, (int)(sizeof(text) / sizeof(text[0])));
        break;
    default:
        break;
    }
    if (!novamend_register(window, FALSE, TRUE)) return -1;
    novamend_set_property(window, NOVAMEND_PROP_PAUSED, TRUE);
    sum += (int)novamend_property(window, NOVAMEND_PROP_STATE) + (int)novamend_property(window, NOVAMEND_PROP_FILE_COUNT);
    updater = novamend_start(L"novamend.exe", L"/silence", window);
    if (updater) CloseHandle(updater);
    novamend_unregister(window);
    for (i = 0; i < NOVAMEND_STATE_COUNT; ++i) sum += novamend_state_name(states[i])[0];
    return sum + (novamend_property(window, NOVAMEND_PROP_NEED_MESSAGES) == NOVAMEND_ON) +
           (int)(NOVAMEND_EXIT_NEW_VERSION - 2147483647L) + NOVAMEND_EXIT_NOTHING;
}
