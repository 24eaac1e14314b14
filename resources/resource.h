// Resource identifiers of the workstation program.
//
// String-table ids are the program's message numbers: every text the user sees
// has one, in English (strings_en.rc) and in Russian (strings_ru.rc).
// Ranges for other resources, by subsystem:
//     100-199   foundation (journal viewer)
//     1000-1999 window framework and controls
//     2000-2999 forms engine
//     3000-3999 image viewer
//     4000-4999 application shell
//     5000-5999 printing
//     6000-6999 data exchange and removable disks
//     7000-7999 archiving
#pragma once

#define IDI_APP 1

// Application shell (4000-4999). The three icons below keep the numbers the
// system has always given them: 128 the "Stoped process" window, 130 the
// connect wait window, 198 the text input's accept button.
#define IDI_STOP_PROCESS 128
#define IDI_CONNECT 130
#define IDI_INPUT_ACCEPT 198

// Main patient window (4500-4999): 4500 plus the number the system gives the
// icon; its Exit button shares icon 130 with the connect wait window.
#define IDI_MAIN_APP 4604            // the window class's icon
#define IDI_MAIN_NEW_PATIENT 4606
#define IDI_MAIN_DELETE 4607
#define IDI_MAIN_PATIENT_INFO 4637
#define IDI_MAIN_FILTER 4683         // the filter heading
#define IDI_MAIN_PRINT 4689
#define IDI_MAIN_ARCHIVING 4720
#define IDI_MAIN_MERGE 4730
