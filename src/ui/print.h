#pragma once
// Ctrl+P: the system print dialog on the interface thread, the printing on a thread of its own.

#include <windows.h>

#include <string>

namespace wrenfold::ui {

struct MainWindowState;

// Everything a print needs, owned by the printing thread.
struct PrintJob {
  std::u16string document_name;
  std::u16string text;
  std::u16string font_family;
  bool font_bold = false;
  bool font_italic = false;
  double font_size_points = 11.0;
  HDC printer_dc = nullptr;  // deleted by the job
};

void print_document(MainWindowState& state);

// Prints and releases everything the job holds; reports nothing.
void run_print_job(PrintJob job);

}  // namespace wrenfold::ui
