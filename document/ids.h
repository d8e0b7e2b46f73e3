#pragma once
// Command ids of menu 128 and of the commands the pages send, the dialog
// layouts of the shell, and the step codes of CMainFrame::NextFunction.

#include "framework/winmsg.h"

// Frame commands.
inline constexpr UINT ID_REDO = 32898;
inline constexpr UINT ID_UNDO = 32899;
inline constexpr UINT ID_START_WORK = 32821;
inline constexpr UINT ID_PASTE_PICTURE = 32822;  // no handler
inline constexpr UINT ID_DUMMY = 32839;          // no handler
inline constexpr UINT ID_SCAN = 32948;           // no handler
inline constexpr UINT ID_IMPORT_PIC = 32797;
inline constexpr UINT ID_IMPORT_THE = 32801;
inline constexpr UINT ID_FILE_SAVE_THE = 32792;
inline constexpr UINT ID_FILE_OPEN_FAC = 32795;
inline constexpr UINT ID_FILE_SAVE_FAC = 32796;
inline constexpr UINT ID_MODIFY_PIC = 32930;
inline constexpr UINT ID_STAT = 32824;
inline constexpr UINT ID_NOTES = 33025;
inline constexpr UINT ID_FEATURE_TOOL_HEAD = 32902;
inline constexpr UINT ID_VIEWS1 = 32928;
inline constexpr UINT ID_VIEWS2 = 32927;
inline constexpr UINT ID_VIEWS4B = 32929;
inline constexpr UINT ID_SELECT = 32779;
inline constexpr UINT ID_ZOOM = 32778;
inline constexpr UINT ID_RECT_ZOOM = 32863;
inline constexpr UINT ID_RECT_ZOOM2 = 32864;
inline constexpr UINT ID_MOVE = 32802;
inline constexpr UINT ID_FIT_ZOOM = 32780;
inline constexpr UINT ID_BACK_PICTURE = 32865;
inline constexpr UINT ID_SPLINE = 32787;
inline constexpr UINT ID_PHOTO_MODE = 32932;
inline constexpr UINT ID_CAMERA_MODE = 32789;
inline constexpr UINT ID_MEDAL_MODE = 32823;
inline constexpr UINT ID_CROP = 32826;
inline constexpr UINT ID_PROPERTIES = 32940;
inline constexpr UINT ID_FUNCTION1 = 32807;  // to 32811
inline constexpr UINT ID_FUNCTION5 = 32811;
inline constexpr UINT ID_FUNCTION6 = 32844;  // to 32848
inline constexpr UINT ID_FUNCTION10 = 32848;
inline constexpr UINT ID_SUPER_MENU = 32946;
inline constexpr UINT ID_EXPORT_PHOTO = 32800;
inline constexpr UINT ID_PICT_FROM_OTHER = 32949;
inline constexpr UINT ID_PICT_FROM_TEMP = 32950;
inline constexpr UINT ID_SAVE_OBJ = 1098;

// Ids with update rules only.
inline constexpr UINT ID_Z_SCALE = 32954;
inline constexpr UINT ID_BRIGHTNESS = 32912;
inline constexpr UINT ID_DEPTH = 32911;
inline constexpr UINT ID_SHOW_FEATURES = 32799;
inline constexpr UINT ID_CURVE_PAGE = 32901;
inline constexpr UINT ID_EXPORT_COIN = 32812;
inline constexpr UINT ID_ROTATE = 32942;
inline constexpr UINT ID_COLOURED = 32905;
inline constexpr UINT ID_TEXT_SETTINGS = 32906;

// Application commands.
inline constexpr UINT ID_ABOUT_SHORT = 32953;
inline constexpr UINT ID_WEB = 32917;
inline constexpr UINT ID_MAIL = 32918;

// Dialog layouts.
inline constexpr UINT IDD_PROGRESS = 133;
inline constexpr UINT IDD_LOGIN = 171;
inline constexpr UINT IDD_DLGSET = 179;
inline constexpr UINT IDD_HEADFEATURES = 181;
inline constexpr UINT IDD_DLGFREETOOL = 182;
inline constexpr UINT IDD_BRUSHSELECT = 194;
inline constexpr UINT IDD_CROP = 232;
inline constexpr UINT IDD_NOTES = 233;
inline constexpr UINT IDD_FEATURES2 = 245;
inline constexpr UINT IDD_FEATURES3 = 308;
inline constexpr UINT IDD_MODEL = 309;
inline constexpr UINT IDD_FEATURES4 = 311;
inline constexpr UINT IDD_ABOUTBOX = 312;
inline constexpr UINT IDD_MAKEBMP = 313;
inline constexpr UINT IDD_FEATURES2B = 314;
inline constexpr UINT IDD_REFINE = 315;
inline constexpr UINT IDD_AGE = 327;
inline constexpr UINT IDD_FEATURES2PS = 328;
inline constexpr UINT IDD_MODELPS = 329;

// The menu, accelerators and title of the document template.
inline constexpr UINT IDR_MAINFRAME = 128;

// Strings.
inline constexpr UINT IDS_TOO_FEW_POINTS = 61212;
inline constexpr UINT IDS_ERROR = 61213;

// The frame's start-up timer.
inline constexpr UINT kStartTimer = 2;
inline constexpr UINT kStartTimerDelay = 400;
