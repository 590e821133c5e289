#include "print.h"

#include <ole2.h>

#include <commdlg.h>  // after ole2.h: the print dialog needs its COM declarations

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "dialogs.h"
#include "document_rules.h"
#include "editor.h"
#include "main_window_state.h"
#include "print_layout.h"

namespace wrenfold::ui {
namespace {

// 25 mm in inches.
constexpr double kMarginInches = 0.984251968503937;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int font_height(double points, int dots_per_inch) {
  const double height = std::round(points * dots_per_inch / 72.0);
  const double clamped = std::clamp(height, 0.0, static_cast<double>(std::numeric_limits<int>::max()));
  return -static_cast<int>(std::isnan(clamped) ? 0.0 : clamped);
}

DWORD WINAPI print_thread(void* parameter) {
  std::unique_ptr<PrintJob> job(static_cast<PrintJob*>(parameter));
  run_print_job(std::move(*job));
  return 0;
}

void print_pages(HDC dc, const PrintJob& job) {
  const int dpi_x = GetDeviceCaps(dc, LOGPIXELSX);
  const int dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  const int margin_x = static_cast<int>(dpi_x * kMarginInches);
  const int margin_y = static_cast<int>(dpi_y * kMarginInches);
  const int left = margin_x - GetDeviceCaps(dc, PHYSICALOFFSETX);
  const int top = margin_y - GetDeviceCaps(dc, PHYSICALOFFSETY);
  const int printable_width = GetDeviceCaps(dc, PHYSICALWIDTH) - 2 * margin_x;
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  const int line_height = std::max(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
  const int lines_per_page = std::max(1, (GetDeviceCaps(dc, PHYSICALHEIGHT) - 2 * margin_y) / line_height);

  const std::vector<std::u16string> rows = print_rows(job.text, [dc, printable_width](std::u16string_view row) {
    int fitting = 0;
    SIZE extent = {};
    const int length = static_cast<int>(std::min<std::size_t>(row.size(), std::numeric_limits<int>::max()));
    if (!GetTextExtentExPointW(dc, reinterpret_cast<const wchar_t*>(row.data()), length, std::max(0, printable_width),
                               &fitting, nullptr, &extent)) {
      return std::size_t{0};
    }
    return static_cast<std::size_t>(std::max(0, fitting));
  });

  DOCINFOW document = {};
  document.cbSize = sizeof document;
  document.lpszDocName = wide(job.document_name);
  if (StartDocW(dc, &document) <= 0) return;
  for (std::size_t first = 0; first < rows.size(); first += static_cast<std::size_t>(lines_per_page)) {
    if (StartPage(dc) <= 0) {
      AbortDoc(dc);
      return;
    }
    const std::size_t end = std::min(rows.size(), first + static_cast<std::size_t>(lines_per_page));
    for (std::size_t row = first; row < end; ++row) {
      if (rows[row].empty()) continue;
      TextOutW(dc, left, top + static_cast<int>(row - first) * line_height, wide(rows[row]),
               static_cast<int>(rows[row].size()));
    }
    EndPage(dc);
  }
  EndDoc(dc);
}

}  // namespace

void run_print_job(PrintJob job) {
  const HDC dc = job.printer_dc;
  LOGFONTW description = {};
  description.lfHeight = font_height(job.font_size_points, GetDeviceCaps(dc, LOGPIXELSY));
  description.lfWeight = job.font_bold ? FW_BOLD : FW_NORMAL;
  description.lfItalic = job.font_italic ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  job.font_family.copy(reinterpret_cast<char16_t*>(description.lfFaceName),
                       std::min<std::size_t>(job.font_family.size(), LF_FACESIZE - 1));
  const HFONT font = CreateFontIndirectW(&description);
  const HGDIOBJ old_font = SelectObject(dc, font);
  print_pages(dc, job);
  SelectObject(dc, old_font);
  DeleteObject(font);
  DeleteDC(dc);
}

void print_document(MainWindowState& state) {
  PRINTDLGEXW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = state.main_window;
  dialog.Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOCURRENTPAGE;
  dialog.nCopies = 1;
  dialog.nStartPage = START_PAGE_GENERAL;
  const HRESULT result = PrintDlgExW(&dialog);
  // No printer choice is remembered between prints.
  if (dialog.hDevMode != nullptr) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames != nullptr) GlobalFree(dialog.hDevNames);
  if (FAILED(result)) {
    char code[16] = {};
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(result));
    const MessageButton ok[] = {{IDOK, u"OK"}};
    show_message(std::nullopt, u"Couldn't open the print dialog (0x" + std::u16string(code, code + 8) + u").", ok,
                 IDOK, IDOK);
    return;
  }
  if (dialog.dwResultAction != PD_RESULT_PRINT) {
    if (dialog.hDC != nullptr) DeleteDC(dialog.hDC);
    return;
  }
  const AppSettings settings = state.settings.read();
  auto job = std::make_unique<PrintJob>();
  job->document_name = state.current_file ? path_file_name(*state.current_file) : u"Untitled";
  job->text = *editor_text(state);
  job->font_family = settings.font_family;
  job->font_bold = settings.font_bold;
  job->font_italic = settings.font_italic;
  job->font_size_points = settings.font_size_points;
  job->printer_dc = dialog.hDC;
  const HANDLE thread = CreateThread(nullptr, 0, print_thread, job.get(), 0, nullptr);
  if (thread == nullptr) {
    run_print_job(std::move(*job));  // no thread to spare: print here rather than lose it
    return;
  }
  job.release();  // the thread owns it now
  CloseHandle(thread);
}

}  // namespace wrenfold::ui
