/* The numbers of the program's resources, dialogs and controls: one header
   for the resource script and the code. Plain #defines, which the resource
   compiler reads as well as C++ does. */
#pragma once

/* Dialog templates */
#define IDD_PROGRESS_WINDOW 171   /* the small progress window */
#define IDD_TRAY_NOTIFICATION 167 /* the tray mode's notification window */
#define IDD_DOTNET_DOWNLOAD 177   /* the .NET Framework download dialog */

/* Controls of the progress window */
#define IDC_PROGRESS_HIDE_BUTTON 160     /* top right: minimises the window */
#define IDC_PROGRESS_PERCENT 165         /* the percentage on the red panel */
#define IDC_PROGRESS_BACKGROUND 166      /* the animated background */
#define IDC_PROGRESS_BAR 167             /* the animated bar on its track */
#define IDC_PROGRESS_MINIMISE_BUTTON 170 /* next to it: minimises it too */

/* Controls of the .NET Framework download dialog */
#define IDC_DOTNET_SEGMENT_VIEW 151 /* marks where the segment view goes */

/* The icon */
#define IDI_NOVAMEND 141

/* Pictures (type "GIF") of the progress window, which a vendor may replace;
   each button's four are normal, pressed, hover and disabled. */
#define IDG_PROGRESS_BACKGROUND 188
#define IDG_PROGRESS_BAR 189
#define IDG_MINIMISE_NORMAL 190
#define IDG_MINIMISE_PRESSED 191
#define IDG_MINIMISE_HOVER 192
#define IDG_MINIMISE_DISABLED 193
#define IDG_HIDE_NORMAL 194
#define IDG_HIDE_PRESSED 195
#define IDG_HIDE_HOVER 196
#define IDG_HIDE_DISABLED 197

/* Bitmaps */
#define IDB_TRAY_BACKGROUND 168
#define IDB_TRAY_CLOSE 170
#define IDB_CELL_EMPTY 1062  /* a segment view cell not yet fetched */
#define IDB_CELL_FILLED 1063 /* a fetched one */

/* Data: the default settings (type named "RT_RCDATA") and the built-in
   language tables (type "LANGUAGE") */
#define IDR_DEFAULT_SETTINGS 179
#define IDR_LANGUAGE_TRADITIONAL_CHINESE 153
#define IDR_LANGUAGE_SIMPLIFIED_CHINESE 154

/* Strings: the product caption a vendor's brand sets */
#define IDS_PRODUCT_CAPTION 171
