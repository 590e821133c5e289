#pragma once
// The shell's open and save dialogs, the save dialog with its encoding choice.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "codec.h"
#include "result.h"

namespace wrenfold::ui {

// What a dialog is asked to show.
struct FileDialogRequest {
  bool save = false;
  std::optional<std::u16string> folder;  // the folder to start in; the dialog's own otherwise
  std::u16string file_name;              // save only
  Encoding encoding = Encoding::Utf8;    // save only: the item selected under "Encoding:"
};

struct FileDialogChoice {
  std::u16string path;
  Encoding encoding = Encoding::Utf8;
};

// A chosen file, nothing when the user cancelled, or why the dialog failed.
using FileDialogOutcome = Result<std::optional<FileDialogChoice>>;

// Cancelling and every failure give nothing: opening has nothing to report.
std::optional<std::u16string> choose_file_to_open(HWND owner, std::optional<std::u16string> folder);

FileDialogOutcome choose_file_to_save(HWND owner, std::optional<std::u16string> folder,
                                      std::u16string file_name, Encoding encoding);

// Stands in for the shell dialogs in tests: receives each request and answers for the user.
// An empty function restores the real dialogs.
using FileDialogResponder = std::function<FileDialogOutcome(const FileDialogRequest&)>;
void set_file_dialog_responder(FileDialogResponder responder);

}  // namespace wrenfold::ui
