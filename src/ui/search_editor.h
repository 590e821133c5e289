#pragma once
// The search engine's view of the rich edit control.

#include "search.h"

namespace wrenfold::ui {

struct MainWindowState;

class RichEditSearchEditor : public SearchEditor {
 public:
  explicit RichEditSearchEditor(MainWindowState& state) : state_(state) {}

  std::shared_ptr<const std::u16string> text_snapshot() override;
  std::shared_ptr<const std::u16string> patched_snapshot() override;
  bool holds(std::size_t start, std::u16string_view text) override;
  EditorSelection selection() override;
  void set_selection(std::size_t start, std::size_t end) override;
  void replace_selection(std::u16string_view text) override;
  void scroll_caret_into_view() override;

 private:
  MainWindowState& state_;
};

}  // namespace wrenfold::ui
