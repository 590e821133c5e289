#include "file_dialogs.h"

#include <shobjidl.h>

#include <array>

#include "system_text.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kEncodingGroupId = 1;
constexpr DWORD kEncodingComboId = 2;
constexpr std::array kEncodings = {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be,
                                   Encoding::Ansi};
constexpr COMDLG_FILTERSPEC kFileTypes[] = {
    {L"Text Documents (*.txt)", L"*.txt"},
    {L"All Files (*.*)", L"*.*"},
};

thread_local FileDialogResponder t_file_dialog_responder;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Starts the dialog in `folder` when the shell knows it.
void set_initial_folder(IFileDialog* dialog, const std::optional<std::u16string>& folder) {
  if (!folder) return;
  ComPtr<IShellItem> item;
  if (SUCCEEDED(SHCreateItemFromParsingName(wide(*folder), nullptr, IID_PPV_ARGS(item.put())))) {
    dialog->SetFolder(item.get());
  }
}

HRESULT chosen_path(IFileDialog* dialog, std::u16string& path) {
  ComPtr<IShellItem> item;
  HRESULT result = dialog->GetResult(item.put());
  if (FAILED(result)) return result;
  wchar_t* name = nullptr;
  result = item->GetDisplayName(SIGDN_FILESYSPATH, &name);
  if (FAILED(result)) return result;
  path = reinterpret_cast<const char16_t*>(name);
  CoTaskMemFree(name);
  return S_OK;
}

// The dialog's own options plus `extra`, both file types with the first selected.
HRESULT prepare(IFileDialog* dialog, FILEOPENDIALOGOPTIONS extra, const std::optional<std::u16string>& folder) {
  FILEOPENDIALOGOPTIONS options = 0;
  HRESULT result = dialog->GetOptions(&options);
  if (SUCCEEDED(result)) result = dialog->SetOptions(options | extra);
  if (SUCCEEDED(result)) result = dialog->SetFileTypes(static_cast<UINT>(std::size(kFileTypes)), kFileTypes);
  if (SUCCEEDED(result)) result = dialog->SetFileTypeIndex(1);
  if (SUCCEEDED(result)) set_initial_folder(dialog, folder);
  return result;
}

HRESULT add_encoding_choice(IFileDialog* dialog, Encoding encoding) {
  ComPtr<IFileDialogCustomize> customize;
  HRESULT result = dialog->QueryInterface(IID_PPV_ARGS(customize.put()));
  if (SUCCEEDED(result)) result = customize->StartVisualGroup(kEncodingGroupId, L"Encoding:");
  if (SUCCEEDED(result)) result = customize->AddComboBox(kEncodingComboId);
  for (DWORD index = 0; SUCCEEDED(result) && index < kEncodings.size(); ++index) {
    const std::u16string name(encoding_display_name(kEncodings[index]));
    result = customize->AddControlItem(kEncodingComboId, index, wide(name));
  }
  if (SUCCEEDED(result)) result = customize->EndVisualGroup();
  if (SUCCEEDED(result)) result = customize->MakeProminent(kEncodingGroupId);
  if (SUCCEEDED(result)) {
    result = customize->SetSelectedControlItem(kEncodingComboId, static_cast<DWORD>(encoding));
  }
  return result;
}

// The encoding under "Encoding:" after the dialog; `current` when nothing valid is selected.
Encoding chosen_encoding(IFileDialog* dialog, Encoding current) {
  ComPtr<IFileDialogCustomize> customize;
  DWORD selected = 0;
  if (FAILED(dialog->QueryInterface(IID_PPV_ARGS(customize.put()))) ||
      FAILED(customize->GetSelectedControlItem(kEncodingComboId, &selected)) || selected >= kEncodings.size()) {
    return current;
  }
  return kEncodings[selected];
}

FileDialogOutcome run_open_dialog(HWND owner, const FileDialogRequest& request) {
  ComPtr<IFileOpenDialog> dialog;
  HRESULT result = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.put()));
  if (SUCCEEDED(result)) {
    result = prepare(dialog.get(), FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST, request.folder);
  }
  if (SUCCEEDED(result)) result = dialog->Show(owner);
  FileDialogChoice choice;
  if (SUCCEEDED(result)) result = chosen_path(dialog.get(), choice.path);
  if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::optional<FileDialogChoice>();
  if (FAILED(result)) return Error{system_error_text(result)};
  return std::optional<FileDialogChoice>(std::move(choice));
}

FileDialogOutcome run_save_dialog(HWND owner, const FileDialogRequest& request) {
  ComPtr<IFileSaveDialog> dialog;
  HRESULT result = CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dialog.put()));
  if (SUCCEEDED(result)) {
    result = prepare(dialog.get(), FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST, request.folder);
  }
  if (SUCCEEDED(result)) result = dialog->SetDefaultExtension(L"txt");
  if (SUCCEEDED(result)) result = dialog->SetFileName(wide(request.file_name));
  if (SUCCEEDED(result)) result = add_encoding_choice(dialog.get(), request.encoding);
  if (SUCCEEDED(result)) result = dialog->Show(owner);
  FileDialogChoice choice;
  if (SUCCEEDED(result)) result = chosen_path(dialog.get(), choice.path);
  if (result == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::optional<FileDialogChoice>();
  if (FAILED(result)) return Error{system_error_text(result)};
  choice.encoding = chosen_encoding(dialog.get(), request.encoding);
  return std::optional<FileDialogChoice>(std::move(choice));
}

FileDialogOutcome run_dialog(HWND owner, const FileDialogRequest& request) {
  if (t_file_dialog_responder) return t_file_dialog_responder(request);
  return request.save ? run_save_dialog(owner, request) : run_open_dialog(owner, request);
}

}  // namespace

std::optional<std::u16string> choose_file_to_open(HWND owner, std::optional<std::u16string> folder) {
  FileDialogRequest request;
  request.folder = std::move(folder);
  FileDialogOutcome outcome = run_dialog(owner, request);
  if (!outcome.ok() || !outcome.value()) return std::nullopt;
  return std::move(outcome.value()->path);
}

FileDialogOutcome choose_file_to_save(HWND owner, std::optional<std::u16string> folder, std::u16string file_name,
                                      Encoding encoding) {
  FileDialogRequest request;
  request.save = true;
  request.folder = std::move(folder);
  request.file_name = std::move(file_name);
  request.encoding = encoding;
  return run_dialog(owner, request);
}

void set_file_dialog_responder(FileDialogResponder responder) {
  t_file_dialog_responder = std::move(responder);
}

}  // namespace wrenfold::ui
