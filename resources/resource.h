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

// Labels and group boxes that the code never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Shared by the windows of several subsystems, with the numbers the system
// has always given them (drawn by resources/controls/make_art.py): the
// control library's cursors, and one picture per icon for all its uses.
#define IDC_UPDOWN_DRAG 102          // the up-down control while it is dragged
#define IDC_UPDOWN_HOVER 142         // over the up-down control
#define IDC_HEADER_RESIZE 144        // over a header divider
#define IDI_SET_FILTER 183           // the filter form's Set button and the main window's filter heading

// Application shell (4000-4999). The three icons below keep the numbers the
// system has always given them: 128 the "Stoped process" window, 130 the
// connect wait window (and every Exit or Close that leaves a window: the main
// window, the filter form, the Statistics window), 198 the text input's
// accept button.
#define IDI_STOP_PROCESS 128
#define IDI_CONNECT 130
#define IDI_INPUT_ACCEPT 198

// Settings dialogs, plug-ins and the small windows of the shell (4100-4299):
// dialogs are 4000 plus the number the system gives them; their controls keep
// the system's own ids. 107 keeps the number the system gives the error list's
// Clear icon.
#define IDI_CLEAR_LIST 107
#define IDD_PROGRAM_SETTINGS 4152    // "Program Settings"
#define IDC_SET_DEF_DIR 1125
#define IDC_SET_DEF_DIR_BROWSE 1126
#define IDC_SET_LOCAL_PATH 1127
#define IDC_SET_LOCAL_PATH_BROWSE 1128
#define IDC_SET_LOCAL_PATH_LABEL 1158
#define IDC_SET_ARCHIVE_BROWSE 1112
#define IDC_SET_ARCHIVE_PATH 1114
#define IDC_SET_SPACE_ARJ_END 1115
#define IDC_SET_SPACE_ARJ_START 1117
#define IDC_SET_SPACE_MIN 1119
#define IDC_SET_PRINTER 1121
#define IDC_SET_BACKUP 1130
#define IDC_SET_PLUGINS 1131
#define IDC_SET_CFG_DIR 1133
#define IDC_SET_CFG_DIR_BROWSE 1134
#define IDC_SET_DATA_PATH 1135
#define IDC_SET_DATA_PATH_BROWSE 1136
#define IDC_SET_SERVER_NAME 1137
#define IDC_SET_EXIT_ACTION 1163
#define IDC_SET_FONTS 1184
#define IDC_SET_MOBIL 1214
#define IDC_SET_SPAN_PULT 1215
#define IDC_SET_SHELL 1221
#define IDC_SET_WIDTH_LIMIT 1232
#define IDC_SET_HEIGHT_LIMIT 1233
#define IDC_SET_RUN_NOW 3
#define IDC_SET_DEFAULTS 4
#define IDD_BACKUP_SETTINGS 4223     // "Backup Database Settings"
#define IDC_BACKUP_PATH 1201
#define IDC_BACKUP_FILE 1202
#define IDC_BACKUP_MAX_COUNT 1203
#define IDC_BACKUP_LAST 1204
#define IDD_SET_SHELL 4233           // "Set Shell"
#define IDC_SHELL_EXPLORER 1223
#define IDC_SHELL_PROGRAM 1224
#define IDC_SHELL_TEXT 1225
#define IDD_MODALITY 4238            // "Modality"
#define IDC_MODALITY_LIST 1233
#define IDC_MODALITY_NONE 1234
#define IDD_ABOUT 4241               // "About Zelk"
#define IDC_ABOUT_VERSION 1244
#define IDD_PLUGINS 4255             // "Plugins"
#define IDC_PLUGIN_ADD 4
#define IDC_PLUGIN_DELETE 3
#define IDC_PLUGIN_LIST 1253
#define IDC_PLUGIN_CHANGE 1254
#define IDC_PLUGIN_RUN 1273
#define IDD_PLUGIN_PROGRAM 4259      // "Program": an external-program plug-in
#define IDC_PROGRAM_MODULE_BROWSE 1258
#define IDC_PROGRAM_DIR_BROWSE 1259
#define IDC_PROGRAM_NAME 1260
#define IDC_PROGRAM_MODULE 1261
#define IDC_PROGRAM_CMD_LINE 1262
#define IDC_PROGRAM_DIR 1263
// The labels and group boxes of these dialogs (their texts come from the
// string table): 4260-4299.
#define IDC_SET_DEF_DIR_LABEL 4260
#define IDC_SET_DATA_PATH_LABEL 4261
#define IDC_SET_ARCHIVE_LABEL 4262
#define IDC_SET_CFG_DIR_LABEL 4263
#define IDC_SET_SERVER_NAME_LABEL 4264
#define IDC_SET_ARCHIVING_GROUP 4265
#define IDC_SET_ARJ_START_LABEL 4266
#define IDC_SET_ARJ_END_LABEL 4267
#define IDC_SET_SPACE_MIN_LABEL 4268
#define IDC_SET_SCREEN_GROUP 4269
#define IDC_SET_WIDTH_LABEL 4270
#define IDC_SET_HEIGHT_LABEL 4271
#define IDC_SET_EXIT_ACTION_LABEL 4272
#define IDC_SHELL_LABEL 4273
#define IDC_BACKUP_PATH_LABEL 4274
#define IDC_BACKUP_FILE_LABEL 4275
#define IDC_BACKUP_MAX_COUNT_LABEL 4276
#define IDC_BACKUP_LAST_LABEL 4277
#define IDC_ABOUT_PROGRAM 4278
#define IDC_ABOUT_VERSION_LABEL 4279
#define IDC_PROGRAM_NAME_LABEL 4280
#define IDC_PROGRAM_MODULE_LABEL 4281
#define IDC_PROGRAM_CMD_LINE_LABEL 4282
#define IDC_PROGRAM_DIR_LABEL 4283

// Main patient window (4500-4999): 4500 plus the number the system gives the
// icon; its Exit button shares icon 130 with the connect wait window.
#define IDI_MAIN_APP 4604            // the window class's icon
#define IDI_MAIN_NEW_PATIENT 4606
#define IDI_MAIN_DELETE 4607
#define IDI_MAIN_PATIENT_INFO 4637
#define IDI_MAIN_PRINT 4689
#define IDI_MAIN_ARCHIVING 4720
#define IDI_MAIN_MERGE 4730
// Image viewer (3000-3999). Its icons, cursors and bitmaps are numbered 3000
// plus the number the viewer's tables know them by.
#define IDC_SNIMOK_NORMAL 3101      // the view's class cursor
#define IDC_SNIMOK_DRAG 3102        // while the picture is dragged
#define IDC_LINE_START 3109         // marker at the start of the profile line
#define IDC_LINE_END 3110           // marker at its end
#define IDI_VIEWER_CAPTION 3104     // the panel's caption icon; also "Imaging modes"
#define IDI_VIEWER_SAVE 3129
#define IDI_VIEWER_EXIT 3130        // also the Close of the measuring windows
#define IDI_VIEWER_PATIENT 3137
#define IDI_VIEWER_WIDTH 3140
#define IDI_VIEWER_OFFSET 3141
#define IDI_VIEWER_DESCRIPTION 3146
#define IDI_VIEWER_PROFILE 3147     // also "Statistics"
#define IDI_VIEWER_EQUALIZE 3148
#define IDI_VIEWER_NEGATIVE 3150
#define IDI_PROFILE_AUTOMAX 3161
#define IDI_PROFILE_AUTOMIN 3162
#define IDI_VIEWER_PRINT 3189
#define IDI_VIEWER_WINDOWS 3249
#define IDB_LAYOUT_1X1 3242
#define IDB_LAYOUT_2X1 3243
#define IDB_LAYOUT_1X2 3244
#define IDB_LAYOUT_2X2 3245
#define IDB_LAYOUT_2X3 3246
#define IDB_LAYOUT_3X2 3247
#define IDB_LAYOUT_3X3 3248
#define IDD_PREPARE_SNIMOK 3237     // "Processing Image Properties"
#define IDC_PREPARE_FILTER 1230     // its combo box of enhancement levels
#define IDC_PREPARE_AUTO 1231       // its check box: only pictures that pass the contrast test
// Patient image strip, notes and templates (4300-4499): 4300 plus the number
// the system knows each icon by. The strip and the notes also use the
// viewer's exit, save, print and description icons.
#define IDI_TEMPLATE_NEW 4306
#define IDI_TEMPLATE_DELETE 4307
#define IDI_TEMPLATE_SELECT 4331
#define IDI_NOTE_TEMPLATE 4332
#define IDI_TEMPLATE_DEFAULT 4375
#define IDI_ICONSBAR 4420
#define IDI_NOTE_PROTECTED 4436
// Printing (5000-5999): dialogs are 5000 plus the number the system gives
// them; their controls keep the system's own ids, and the labels that only
// show a text are numbered from 5400.
#define IDI_PICTURE_PRINT 5189          // the picture print settings dialog's icon; also the class icon of the
                                        // print-state and printer status windows
#define IDI_PRINT_DELETE 5107           // "Delete" and "Delete All" of the printer status window
#define IDD_PRINTER_PROFILES 5254       // "Profiles of printers"
#define IDC_PROFILE_CHANGE 1250
#define IDC_PROFILE_LIST 1251
#define IDC_PROFILE_CHOOSE 1252
#define IDC_PROFILE_RENAME 1253
#define IDC_PROFILE_ADD 1237
#define IDC_PROFILE_DELETE 1044
#define IDD_REPORTS 5199                // "Reports"
#define IDC_REPORT_DELETE 1233
#define IDC_REPORT_LIST 1234
#define IDC_REPORT_EDIT_FILE_NAME 1235
#define IDC_REPORT_EDIT_NAME 1236
#define IDC_REPORT_EDIT 1237
#define IDC_REPORT_EDIT_ANY_FILE 1238
#define IDD_FONTS 5196                  // "Fonts"
#define IDC_FONT_LIST 1182
#define IDD_PRINT_HEADER 5224           // "Print Header Settings"
#define IDC_HEADER_COMPANY1 1204
#define IDC_HEADER_COMPANY2 1205
#define IDC_HEADER_ADDRESS 1206
#define IDC_HEADER_PHONE 1207
#define IDC_HEADER_CABINET 1208
#define IDC_HEADER_LABEL_COMPANY1 5401
#define IDC_HEADER_LABEL_COMPANY2 5402
#define IDC_HEADER_LABEL_ADDRESS 5403
#define IDC_HEADER_LABEL_PHONE 5404
#define IDC_HEADER_LABEL_CABINET 5405
#define IDD_PICTURE_PRINT 5200          // "Print Picture Settings"
#define IDC_PICTURE_LEFT 1187
#define IDC_PICTURE_RIGHT 1188
#define IDC_PICTURE_TOP 1189
#define IDC_PICTURE_BOTTOM 1190
#define IDC_PICTURE_HEIGHT 1191
#define IDC_PICTURE_WIDTH 1192
#define IDC_PICTURE_MIN_HEIGHT 1193
#define IDC_PICTURE_MIN_WIDTH 1194
#define IDC_PICTURE_PRINT_HEADER 1196
#define IDC_PICTURE_PRINT_PATIENT 1197
#define IDC_PICTURE_PRINT_NOTE 1198
#define IDC_PICTURE_GROUP_MARGINS 5411
#define IDC_PICTURE_GROUP_BOX 5412
#define IDC_PICTURE_GROUP_PARTS 5413
#define IDC_PICTURE_LABEL_LEFT 5414
#define IDC_PICTURE_LABEL_RIGHT 5415
#define IDC_PICTURE_LABEL_TOP 5416
#define IDC_PICTURE_LABEL_BOTTOM 5417
#define IDC_PICTURE_LABEL_WIDTH 5418
#define IDC_PICTURE_LABEL_HEIGHT 5419
#define IDC_PICTURE_LABEL_MIN_WIDTH 5420
#define IDC_PICTURE_LABEL_MIN_HEIGHT 5421
#define IDC_PICTURE_LABEL_ZERO 5422
// Removable disks and the synchronisation worker (6200-6299): 6000 plus the
// number the system gives each dialog; the controls keep the system's ids.
#define IDD_EJECT_DISK 6231          // "Eject Disk": the database disk, between two passes
#define IDC_EJECT_STATUS 1204        // its read-only status field
#define IDC_EJECT_EXIT 1226          // its "Exit Program" button
#define IDC_EJECT_STATUS_LABEL 6292  // its "Status" heading (the text comes from the string table)
#define IDD_INSERT_DISK 6268         // "Сообщение": insert the archive disk named in the prompt
#define IDC_INSERT_ABORT 1278        // "Прервать"
#define IDC_INSERT_IGNORE 1279       // "Игнорировать"
#define IDC_INSERT_CONTINUE 1280     // "Продолжить"
#define IDC_INSERT_EJECT 1281        // "Извлечь МО"
#define IDC_INSERT_PROMPT 1282       // the prompt text
// Image import and export and DICOM (6000-6199, 6250-6259): 6000 plus the
// number the system gives each dialog; the controls keep the system's ids.
#define IDD_XMG_PROPERTIES 6158     // side panel of the import's open-file dialog
#define IDD_EXPORT_FORMAT 6251      // "Export": the four ways out
#define IDD_DICOM_SERVERS 6253      // the DICOM target to send to
#define IDD_DICOM_QUEUE 6257        // the DICOM send queue
#define IDC_XMG_SIZE 1136
#define IDC_XMG_PIXEL_SIZE 1137
#define IDC_STATUS_LINE 1166        // the properties panel's and the DICOM queue's status line
#define IDC_XMG_VERSION 1219
#define IDC_XMG_IMAGE_ID 1221
#define IDC_XMG_DATE 1222
#define IDC_XMG_LAST_NAME 1223
#define IDC_XMG_FIRST_NAME 1224
#define IDC_XMG_MIDDLE_NAME 1225
#define IDC_XMG_SEX 1226
#define IDC_XMG_BIRTHDAY 1227
#define IDC_XMG_PATIENT_ID 1228
#define IDC_XMG_KV 1231
#define IDC_XMG_MAS 1232
#define IDC_EXPORT_XMG 1246
#define IDC_EXPORT_DICOM_FILE 1247
#define IDC_EXPORT_BMP 1248
#define IDC_EXPORT_DICOM_SERVER 1249
#define IDC_DICOM_SERVER_LIST 1249
#define IDC_DICOM_QUEUE_LIST 1264
#define IDC_DICOM_DELETE 1265
#define IDC_DICOM_RESET 1266
#define IDC_DICOM_DELETE_ALL 1267
#define IDC_DICOM_TARGETS 1268
// Labels of the properties panel (their texts come from the string table).
#define IDC_XMG_LABEL_FIRST 6100
// Database merge (in the same range): 6000 plus the number the system knows each
// resource by; the merge window also shows the merge button's icon (230),
// the "Stoped process" icon (128) and the connect window's (130).
#define IDD_IMPORT_SETTINGS 6228    // "Merge database settings"
#define IDI_MERGE_EJECT 6229        // the merge window's Eject
#define IDC_IMPORT_PATH_SET 1209
#define IDC_IMPORT_FILE_SET 1210
#define IDC_IMPORT_FILE 1211
#define IDC_IMPORT_PATH 1212
#define IDC_IMPORT_PATH_LABEL 6290  // the labels (their texts come from the string table)
#define IDC_IMPORT_FILE_LABEL 6291
// The synchronisation window (6100-6299 beside the removable disks): its
// dialogs and the message pane's icons take 6000 plus the number the system
// gives them; the dialogs' controls and the window's menu commands keep the
// system's ids.
#define IDD_SYNC_MOVE 6266           // "Перемещение снимков": moving the suspect image files
#define IDC_MOVE_MO 3                // "Переместить MO" (IDOK is "Переместить HDD")
#define IDC_MOVE_BROWSE 1274         // "Указать" the destination
#define IDC_MOVE_FOLDER 1275         // the destination folder
#define IDC_MOVE_DISKS 1283          // the disks holding suspect images
#define IDC_MOVE_QUIET 1284          // "Не показывать сообщения"
#define IDD_SYNC_DISKS 6267          // "Диски отсканированные": the lists of archive disks
#define IDC_DISKS_LIST 1277
#define IDI_SYNC_CLEAR 6107          // the message pane's "Очистить"
#define IDI_SYNC_NEXT 6261           // its "next", enabled
#define IDI_SYNC_PREV 6262           // its "previous", enabled
#define IDI_SYNC_PREV_OFF 6263       // "previous", greyed
#define IDI_SYNC_NEXT_OFF 6265       // "next", greyed
#define IDM_SYNC_MOVE_SUSPECT 33775  // "Переместить снимки(suspect)..."
#define IDM_SYNC_DROP_TABLES 33776   // "Удалить вспом. таблицы"
#define IDM_SYNC_DISKS_SCANNED 33777 // "Отсканированные"
#define IDM_SYNC_DISKS_NOT_SCANNED 33778 // "НЕОтсканированные"
#define IDM_SYNC_DISKS_REGISTERED 33779  // "Зарегистрированные"
#define IDM_SYNC_COMMANDS 33788      // the menu bar's "Команды"
#define IDM_SYNC_DISKS 33810         // the submenu "Диски"
// Archiving (7000-7999): 7000 plus the number the system gives each
// resource; the dialog's controls keep the system's ids.
#define IDI_ARCHIVE 7220             // the archive window's class icon and Start; the preparation window's Prepare
#define IDD_DISK_PROPERTIES 7225     // "Removable disk properties"
#define IDC_PROP_LABEL 1240          // its volume label
#define IDC_PROP_SERIAL 1241         // its volume serial number
#define IDC_PROP_FREE 1242           // its free space
#define IDC_PROP_CAPACITY 1243       // its capacity
#define IDC_PROP_ERROR 1244          // its error line
#define IDC_PROP_LABEL_TEXT 7401     // its labels (their texts come from the string table)
#define IDC_PROP_SERIAL_TEXT 7402
#define IDC_PROP_FREE_TEXT 7403
#define IDC_PROP_CAPACITY_TEXT 7404
#define IDM_ARCHIVE 7226             // the archive window's menu
#define IDI_REMOVE_DISK 7229         // the archive window's Remove Disk
