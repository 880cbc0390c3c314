// Resource ids of Kinetrix: dialog templates, controls, menu commands, accelerators, strings,
// bitmaps, the icon and the animation clip. Included by kinetrix.rc and by the Windows code.
#ifndef KINETRIX_RESOURCES_RESOURCE_H
#define KINETRIX_RESOURCES_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_FRAME_SETTINGS 129
#define IDD_SPLASH 144
#define IDD_PROGRESS 152

// Menu, accelerators, icon and animation clip.
#define IDR_MAIN_MENU 150
#define IDR_MAIN_ACCELERATORS 151
#define IDR_MAINFRAME 158
#define IDR_CLIP 167

// Bitmaps: the logo in its five natural sizes, and the two tool strip picture rows.
#define IDB_LOGO_86X32 153
#define IDB_LOGO_42X16 154
#define IDB_LOGO_52X20 155
#define IDB_LOGO_66X24 156
#define IDB_LOGO_32X12 157
#define IDB_VIEW_BAR 163
#define IDB_PLAY_BAR 164

// Controls of the main window (template 102).
#define IDC_FRAME_SLIDER 1008
#define IDC_FRAME_NUMBER 1009
#define IDC_SPEED 1010
#define IDC_SPEED_SPIN 1019
#define IDC_PREVIEW 1028
#define IDC_FRAME_NUMBER_LABEL 1040
#define IDC_SPEED_UNIT 1042
#define IDC_SIZE_GRIP 1046
#define IDC_VIEW_BAR 1050
#define IDC_PLAY_BAR 1051
#define IDC_SLIDER_PANEL 1057
#define IDC_SPEED_LABEL 1058

// Controls shared by several templates.
#define IDC_LOGO 1047
#define IDC_ANIMATE 1056

// Controls of the progress dialog (template 152).
#define IDC_PROGRESS_CANCEL 1024
#define IDC_PROGRESS_BAR 1043
#define IDC_PROGRESS_STATUS 1044

// Controls of the frame settings dialog (template 129).
#define IDC_FRAME_HEIGHT 1021
#define IDC_STRIP_PREVIEW 1029
#define IDC_FRAME_COUNT 1036
#define IDC_FRAME_COUNT_SPIN 1037
#define IDC_REMAINDER 1038
#define IDC_FRAME_HEIGHT_SPIN 1039
#define IDC_FRAME_HEIGHT_LABEL 1061
#define IDC_FRAME_HEIGHT_UNIT 1062
#define IDC_FRAME_COUNT_LABEL 1063
#define IDC_REMAINDER_LABEL 1064
#define IDC_REMAINDER_UNIT 1065

// Controls of the splash window (template 144).
#define IDC_ICON_BUTTON 1018

// Commands of menu 150, shared by the accelerators and the tool strips.
#define ID_FILE_OPEN 32771
#define ID_FILE_SAVE_AS 32773
#define ID_PLAY_PAUSE 32774
#define ID_PREV_FRAME 32777
#define ID_NEXT_FRAME 32778
#define ID_APP_EXIT 32781
#define ID_VIEW_TRANSPARENT 32783
#define ID_APP_ABOUT 32784
#define ID_VIEW_FIT 32785
#define ID_PLAY_REPEAT 32786
#define ID_FIRST_FRAME 32789
#define ID_LAST_FRAME 32790
#define ID_CONTEXT_HELP 57669
#define ID_HELP_CONTENTS 57670

// Help contexts: each names a topic of the help pages (docs/help), whose element has the number
// as its id.
#define IDH_CONTENTS 1
#define IDH_LOGO 2
#define IDH_SIZE_GRIP 3
#define IDH_ABOUT_BOX 257
#define IDH_MAIN_WINDOW 513
#define IDH_PREVIEW 514
#define IDH_FRAME_SLIDER 515
#define IDH_OPEN 516
#define IDH_SAVE_AS 517
#define IDH_PLAY_PAUSE 518
#define IDH_PREV_FRAME 519
#define IDH_NEXT_FRAME 520
#define IDH_FIRST_FRAME 521
#define IDH_LAST_FRAME 522
#define IDH_SLIDER_PANEL 523
#define IDH_FRAME_NUMBER 524
#define IDH_SPEED 525
#define IDH_FIT 526
#define IDH_REPEAT 527
#define IDH_TRANSPARENT 528
#define IDH_VIEW_BAR 529
#define IDH_HELP_CONTENTS 530
#define IDH_CONTEXT_HELP 531
#define IDH_EXIT 532
#define IDH_ABOUT 533
#define IDH_OPEN_DIALOG 534
#define IDH_SAVE_DIALOG 535
#define IDH_FRAME_SETTINGS 769
#define IDH_STRIP_PREVIEW 770
#define IDH_FRAME_HEIGHT 771
#define IDH_FRAME_COUNT 772
#define IDH_REMAINDER 773
#define IDH_FRAME_SETTINGS_OK 774

// Strings: file dialogs.
#define IDS_OPEN_TITLE 102
#define IDS_SAVE_TITLE 103
#define IDS_OPEN_FILTER 104
#define IDS_SAVE_FILTER 105

// Strings: progress dialog captions of the long operations.
#define IDS_READ_CAPTION 1001
#define IDS_SAVE_CAPTION 1002
#define IDS_COMPOSE_CAPTION 1003

// Strings: progress status texts (the lParam of the progress message).
#define IDS_STATUS_READING 1011
#define IDS_STATUS_WRITING 1012
#define IDS_STATUS_DECODING 1013
#define IDS_STATUS_ENCODING 1014
#define IDS_STATUS_CONVERTING 1015
#define IDS_STATUS_COMPOSING 1016
#define IDS_STATUS_STOPPING 1100

// Strings: failure and cancellation messages.
#define IDS_READ_FAILED 2001
#define IDS_SAVE_FAILED 2002
#define IDS_COMPOSE_FAILED 2003
#define IDS_READ_CANCELLED 2011
#define IDS_SAVE_CANCELLED 2012
#define IDS_COMPOSE_CANCELLED 2013
#define IDS_UNKNOWN_FILE_TYPE 2020
#define IDS_DROP_LIMIT 2021
#define IDS_GIF_DELAY_RAISED 2030

// Strings: tooltips and overflow-menu texts of the tool strip buttons.
#define IDS_TIP_OPEN 3001
#define IDS_TIP_SAVE_AS 3002
#define IDS_TIP_PLAY_PAUSE 3003
#define IDS_TIP_PREV_FRAME 3004
#define IDS_TIP_NEXT_FRAME 3005
#define IDS_TIP_FIRST_FRAME 3006
#define IDS_TIP_LAST_FRAME 3007
#define IDS_TIP_FIT 3011
#define IDS_TIP_REPEAT 3012
#define IDS_TIP_TRANSPARENT 3013
#define IDS_TIP_CONTEXT_HELP 3014

// Strings the framework and the settings read: the application title and the company name (also
// the registry key names) and the data exchange validation messages, in the framework's own id
// range.
#include "framework/string_ids.h"

#endif  // KINETRIX_RESOURCES_RESOURCE_H
