#pragma once
// Every user action is a numeric command, and they all end in dispatch_command.

#include <windows.h>

namespace wrenfold::ui {

struct MainWindowState;

enum Command : unsigned {
  kCommandNew = 101,
  kCommandOpen = 102,
  kCommandSave = 103,
  kCommandSaveAs = 104,
  kCommandPrint = 105,
  kCommandExit = 106,
  kCommandNewWindow = 107,
  kCommandCut = 201,
  kCommandCopy = 202,
  kCommandPaste = 203,
  kCommandFind = 204,
  kCommandReplace = 205,
  kCommandGoTo = 206,
  kCommandSelectAll = 207,
  kCommandUndo = 208,
  kCommandDelete = 209,
  kCommandFindNext = 210,
  kCommandFindPrevious = 211,
  kCommandInsertTimeAndDate = 212,
  kCommandDuplicate = 213,
  kCommandMoveLineUp = 214,
  kCommandMoveLineDown = 215,
  kCommandZoomIn = 301,
  kCommandZoomOut = 302,
  kCommandRestoreZoom = 303,
  kCommandStatusBar = 304,
  kCommandWordWrap = 305,
  kCommandLineNumbers = 306,
  kCommandSettings = 401,
  kCommandSettingsForUpdate = 601,
  kCommandLineEndingMenu = 602,
  kCommandEncodingMenu = 603,
};

// The File, Edit and View popups under one menu handle.
HMENU build_main_menu();

void dispatch_command(MainWindowState& state, unsigned command);

// Theme, editor font and colours, word wrap, zoom, check marks, visibility, layout.
void apply_view_settings(MainWindowState& state);

// Cut and Copy are enabled exactly when something is selected.
void update_edit_menu(MainWindowState& state);

}  // namespace wrenfold::ui
