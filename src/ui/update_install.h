#pragma once
// "Update now": the offered installer downloaded on a worker, checked against the signed
// digest, and started silently once this is the only window and unsaved changes are dealt with.

#include <windows.h>

#include <memory>
#include <string>

#include "updates.h"

namespace wrenfold::ui {

struct MainWindowState;

// lParam: a DownloadResult on the heap, which the receiver takes over.
inline constexpr UINT kMessageDownloadResult = WM_APP + 4;

struct InstallRequest {
  UpdateDownload download;
  HWND main_window = nullptr;
};

// The installer's path, or why there is none.
struct DownloadResult {
  bool downloaded = false;
  std::u16string installer_path;
  std::u16string error;
};

inline constexpr wchar_t kInstallerSwitches[] =
    L"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RESTARTAPP=1";

// Another process of this program's executable in this session.
bool other_instance_running();

// "%TEMP%\Wrenfold-Update\{file name of the URL}".
std::u16string installer_path_for(std::u16string_view url);

void start_update_install();

// The worker: downloads, checks the digest and posts kMessageDownloadResult.
void download_update(const InstallRequest& request, const std::u16string& installer_path);

void on_download_progress(unsigned thousandths);
void finish_update_install(MainWindowState& state, std::unique_ptr<DownloadResult> result);

}  // namespace wrenfold::ui
