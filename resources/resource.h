/* Resource and command identifiers of the viewer, shared by the resource script and the shell.
   Only preprocessor definitions, so that windres can include it. */
#ifndef VRAMORIA_RESOURCES_RESOURCE_H
#define VRAMORIA_RESOURCES_RESOURCE_H

#define IDI_VRAMORIA 101      /* class icon, also in the About box */
#define IDI_DOCUMENT 102      /* picture-file icon; part of the resources, unused by the program */
#define IDD_ABOUT 103
#define IDM_POPUP 104         /* one popup: its submenu 0 is the program's only menu */
#define IDA_ACCELERATORS 105

/* Positions inside the popup (CheckMenuRadioItem / EnableMenuItem work by position). */
#define POS_MODE_MENU 0
#define POS_PALETTE_MENU 1
#define POS_SMALL_WINDOW 2
#define POS_LARGE_WINDOW 3
#define POS_CONVERT_MENU 9

/* Command ids: the low word of WM_COMMAND's wParam. */
#define IDC_SHOW_MENU 40001
#define IDC_MODE_FIRST 40002      /* + screen mode index 0..5 (SCREEN 5, 6, 7, 8, 10/11, 12) */
#define IDC_MODE_SCREEN5 40002
#define IDC_MODE_SCREEN6 40003
#define IDC_MODE_SCREEN7 40004
#define IDC_MODE_SCREEN8 40005
#define IDC_MODE_SCREEN10 40006
#define IDC_MODE_SCREEN12 40007
#define IDC_PALETTE_FIRST 40008   /* + palette slot 0..9 */
#define IDC_PALETTE_STANDARD 40008
#define IDC_PALETTE_INTERNAL 40009
#define IDC_PALETTE_FILE0 40010
#define IDC_PALETTE_FILE1 40011
#define IDC_PALETTE_FILE2 40012
#define IDC_PALETTE_FILE3 40013
#define IDC_PALETTE_FILE4 40014
#define IDC_PALETTE_FILE5 40015
#define IDC_PALETTE_FILE6 40016
#define IDC_PALETTE_FILE7 40017
#define IDC_COPY 40018
#define IDC_SAVE_BITMAP 40019
#define IDC_SAVE_AS 40020
#define IDC_LOAD_PALETTE 40021
#define IDC_CONVERT_FIRST 40022   /* + target screen mode index 0..5 */
#define IDC_CONVERT_SCREEN5 40022
#define IDC_CONVERT_SCREEN6 40023
#define IDC_CONVERT_SCREEN7 40024
#define IDC_CONVERT_SCREEN8 40025
#define IDC_CONVERT_SCREEN10 40026
#define IDC_CONVERT_SCREEN12 40027
#define IDC_EXIT 40028
#define IDC_ABOUT 40029
#define IDC_SMALL_WINDOW 40030
#define IDC_LARGE_WINDOW 40031

#endif
