/* Control identifiers of the example host's window, shared by its code and its resource script. */
#ifndef HOST_EXAMPLE_H
#define HOST_EXAMPLE_H

#define IDD_HOST 100
#define IDC_START 1001
#define IDC_PAUSE 1002
#define IDC_ABANDON 1003
#define IDC_STATE 1004
#define IDC_STATUS 1005
#define IDC_PROGRESS 1006
#define IDC_FILES 1007
#define IDC_NOTES 1008
#define IDC_LOG 1009

#endif
