/* Control ids of the dialog templates in dialogs.rc. Plain #defines: the resource compiler reads
   this file too. The program's own constants (app/options.h, bios, flash and dmi headers) carry
   the same numbers; the dialog procedures check at compile time that they agree. */
#pragma once

/* "OPTION_BOX" */
#define IDC_AUTO_BACKUP 1062
#define IDC_AUTO_VERIFY 1063
#define IDC_AUTO_BLANK_CHECK 1068
#define IDC_WRITE_RECORDS 1089
/* The way into the DMI strings settings: a button of the option dialog. */
#define IDC_DMI_SETTINGS 1073

/* "PASSWORD_BOX" */
#define IDC_PASSWORD_EDIT 1064
#define IDC_PASSWORD_LABEL 1065

/* "SHUTDOWN_BOX" */
#define IDC_SHUTDOWN_TEXT 1071
#define IDT_SHUTDOWN 1072

/* "DMI_SET_BOX" */
#define IDC_DMI_LABEL_MANUFACTURER 1074
#define IDC_DMI_LABEL_PRODUCT 1075
#define IDC_DMI_LABEL_VERSION 1076
#define IDC_DMI_LABEL_SERIAL 1077
#define IDC_DMI_LABEL_UUID 1078
#define IDC_DMI_MANUFACTURER 1079
#define IDC_DMI_PRODUCT 1080
#define IDC_DMI_VERSION 1081
#define IDC_DMI_SERIAL 1082
#define IDC_DMI_UUID 1083
#define IDC_DMI_GROUP 1084
#define IDC_DMI_KEEP_CURRENT 1085
#define IDC_DMI_DONT_KEEP 1086
#define IDC_DMI_NEW_STRINGS 1087
#define IDC_DMI_MODE_CAPTION 1088
