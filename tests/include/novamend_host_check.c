/* The public header for hosts in a C translation unit of its own: every
 * helper called and the numbers used where C wants constants, so that a
 * C++ habit creeping into the header fails this file's build. */
#include "novamend_host.h"

int novamend_host_check(HWND window, UINT message, WPARAM wparam);

int novamend_host_check(HWND window, UINT message, WPARAM wparam) {
    wchar_t text[NOVAMEND_TEXT_BUFFER_BYTES / sizeof(wchar_t)];
    static const int kinds[] = {NOVAMEND_STATUS_PROGRESS, NOVAMEND_STATUS_PROBLEM, NOVAMEND_STATUS_STEP,
                                NOVAMEND_STATUS_DONE, NOVAMEND_EXIT_NOTHING};
    HANDLE updater;
    int sum = kinds[0];
    switch (message) {
    case NOVAMEND_MSG_LOG:
    case NOVAMEND_MSG_DESCRIPTION:
    case NOVAMEND_MSG_STATUS_TEXT:
        sum += novamend_read_text(wparam, text, NOVAMEND_TEXT_MAX_CHARS + 1) + novamend_text_length(wparam);
        break;
    case NOVAMEND_MSG_STATE:
    case NOVAMEND_MSG_DOWNLOADED:
    case NOVAMEND_MSG_FILE_BYTES:
        sum += novamend_state_name(NOVAMEND_STATE_END)[0] + (NOVAMEND_STATE_COUNT - NOVAMEND_STATE_NONE);
        break;
    }
    if (!novamend_register(window, FALSE, TRUE)) return -1;
    novamend_set_property(window, NOVAMEND_PROP_PAUSED, TRUE);
    sum += (int)novamend_property(window, NOVAMEND_PROP_STATE);
    sum += (int)novamend_property(window, NOVAMEND_PROP_FILE_COUNT);
    updater = novamend_start(L"novamend.exe", L"/silence", window);
    if (updater) CloseHandle(updater);
    novamend_unregister(window);
    return sum + (novamend_property(window, NOVAMEND_PROP_NEED_MESSAGES) == NOVAMEND_ON) +
           (int)(NOVAMEND_EXIT_NEW_VERSION - 2147483647L);
}
