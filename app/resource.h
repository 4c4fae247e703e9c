// Resource and control ids of the dialogs.
#pragma once

#define IDD_NORVEXEXPRESS_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_PRFSELECT_DIALOG 129
#define IDC_ADD_BUTTON 3
#define IDC_REMOVE_BUTTON 1000
#define IDC_PROFILE_LIST 1001
#define IDC_PROMPT 1002

#define IDS_ADDED 1
#define IDS_ADD_FAILED 2
#define IDS_REMOVED 3
#define IDS_REMOVE_FAILED 4
#define IDS_REMOVE_PROMPT 5
#define IDS_HOST_RUNNING 6
