#pragma once
// Files changed or removed by another program while the window was in the background.

namespace wrenfold::ui {

struct MainWindowState;

// Run after each activation: reloads a file changed on disk (asking first when there are
// unsaved changes), or marks the document modified when its file is gone.
void check_external_change(MainWindowState& state);

}  // namespace wrenfold::ui
