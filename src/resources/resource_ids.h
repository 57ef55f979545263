/* Ids shared by the resource scripts and the program. The bitmaps, the dialog templates and the
   cursor are found by name; only the icon and the controls carry numbers. Plain #defines: the
   resource compiler reads this file too. */
#pragma once

/* The program's icon: the lowest icon id is the one the shell shows for the file. */
#define IDI_QUORRELITE 1

/* The six skinned buttons of the main window, in tab order. */
#define IDC_LOAD_BUTTON 2000
#define IDC_BACKUP_BUTTON 2001
#define IDC_OPTION_BUTTON 2002
#define IDC_HELP_BUTTON 2003
#define IDC_FLASH_BUTTON 2004
#define IDC_EXIT_BUTTON 2005

/* The text of the help window. */
#define IDC_HELP_TEXT 3001
