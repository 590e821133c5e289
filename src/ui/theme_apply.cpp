#include "main_window_state.h"
#include "find_window.h"
#include "form.h"
#include "settings_page.h"
#include "theme.h"
#include "theme_hooks.h"

namespace wrenfold::ui {
namespace {

// Marks the editor's text as being changed by the program itself, so that the colour change
// does not count as an edit of the document.
class ProgramEditMark {
 public:
  explicit ProgramEditMark(bool& loading) : loading_(loading), was_loading_(loading) {
    loading_ = true;
  }
  ProgramEditMark(const ProgramEditMark&) = delete;
  ProgramEditMark& operator=(const ProgramEditMark&) = delete;
  ~ProgramEditMark() { loading_ = was_loading_; }

 private:
  bool& loading_;
  bool was_loading_;
};

}  // namespace

void apply_theme(MainWindowState& state) {
  const ThemeColors palette = resolve_palette(state.settings.use()->theme);
  {
    const ProgramEditMark mark(state.loading);
    set_editor_colors(state.editor, palette);
  }
  // The next view change formats the text in full again rather than trust older colours.
  state.applied_text_format.reset();
  apply_theme_to_windows(state, palette);
}

void apply_theme_to_windows(MainWindowState& state, const ThemeColors& palette) {
  set_process_dark_mode(palette.is_dark);
  theme_title_bar(state.main_window, palette);
  // Also darkens the editor's scroll bars.
  set_window_theme(state.editor, palette.is_dark, L"Explorer");
  refresh_menu_theme(state);
  DrawMenuBar(state.main_window);
  RedrawWindow(state.main_window, nullptr, nullptr,
               RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  if (const HWND find = find_replace_window(); find != nullptr) theme_dialog_window(find);
  // Open while the system switches under the System theme, it must follow as well.
  theme_settings_window();
  layout_main_window(state);
}

}  // namespace wrenfold::ui
