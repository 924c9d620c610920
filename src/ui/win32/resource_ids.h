// The identifiers of the window's resources and controls, shared by the resource script
// (qzgsms.rc) and the code: plain macros, as the resource compiler reads them.
#pragma once

#define IDI_APPLICATION_ICON 128

#define IDB_PHONE_FIRST 129 /* 129-135: the job-cell telephones by image index */
#define IDB_SIGNAL_SHAPE 136
#define IDB_ABOUT_LOGO 143

#define IDS_ABOUT_MENU_ITEM 101
#define IDS_SETTINGS_CAPTION 102

#define IDD_ABOUT 100
#define IDD_MAIN_WINDOW 102
#define IDD_SEND_SMS 129
#define IDD_SMSC 137
#define IDD_SEND_MMS 138
#define IDD_GLOBAL_SETTINGS 142
#define IDD_MMS_SETTINGS 143

/* Main window */
#define IDC_CELL_IMAGE_FIRST 1000 /* 1000-1029 */
#define IDC_CELL_LABEL_FIRST 1030 /* 1030-1059 */
#define IDC_GAUGE_PLACE 1061
#define IDC_STATUS_LINE 1064
#define IDC_SEND_MMS 1073
#define IDC_ABOUT 1100
#define IDC_LOG_LIST 1101
#define IDC_SEND_SMS 1102
#define IDC_SETTINGS 1103
#define IDC_CHANGE_SMSC 1104

/* Send SMS and Send MMS */
#define IDC_PHONE_NUMBER 1000
#define IDC_MESSAGE 1001
#define IDC_COUNTER 1002
#define IDC_FLASH 1004
#define IDC_MMS_IMAGE 1075
#define IDC_MMS_AUDIO 1076
#define IDC_MMS_SUBJECT 1078
#define IDC_MMS_TEXT 1079
#define IDC_PICK_IMAGE 1090
#define IDC_PICK_AUDIO 1091

/* Change SMSC */
#define IDC_SMSC_NUMBER 1062
#define IDC_SMSC_PLAN 1063

/* Global settings page */
#define IDC_PORT 1065
#define IDC_BAUD_RATE 1066
#define IDC_SIM_PIN 1067
#define IDC_NUMBER 1068
#define IDC_RETRY_COUNT 1069
#define IDC_RETRY_DELAY 1070
#define IDC_TECH_ALARM 1071
#define IDC_INCOMING 1072
#define IDC_QUALITY_POLL 1074
#define IDC_PARITY 1076
#define IDC_SLEEP_AFTER_ALARM 1077
#define IDC_VOICE_CALL 1078

/* MMS settings page */
#define IDC_MMS_PORT_TYPE 1080
#define IDC_MMS_URL_SERVER 1081
#define IDC_MMS_APN 1082
#define IDC_MMS_IP_ADDRESS 1083
#define IDC_MMS_LOGIN 1084
#define IDC_MMS_PASSWORD 1085
#define IDC_MMS_CONTENT_TYPE 1086
