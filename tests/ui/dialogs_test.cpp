#include "dialogs.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "main_window_state.h"

namespace wrenfold::ui {
namespace {

struct MessageSet {
  const char* name;
  std::optional<std::u16string> instruction;
  std::vector<MessageButton> buttons;
  int default_id;
  int cancel_id;
};

const MessageSet kUnsavedChanges{
    "unsaved changes", std::nullopt,
    {{IDYES, u"Save"}, {IDNO, u"Don't save"}, {IDCANCEL, u"Cancel"}}, IDYES, IDCANCEL};
const MessageSet kReload{
    "reload", std::nullopt, {{IDYES, u"Reload"}, {IDNO, u"Keep my changes"}}, IDNO, IDNO};
const MessageSet kConsent{"update consent", u"Check for updates?",
                          {{IDYES, u"Check automatically"}, {IDNO, u"Don't check"}}, IDYES, IDNO};
const MessageSet kLargeFile{
    "large file", u"Large file", {{IDOK, u"Open"}, {IDCANCEL, u"Cancel"}}, IDCANCEL, IDCANCEL};
const MessageSet kError{"error", std::nullopt, {{IDOK, u"OK"}}, IDOK, IDOK};

int show(const MessageSet& set, std::u16string_view content = u"Something happened.\nReally.") {
  return show_message(set.instruction ? std::optional<std::u16string_view>(*set.instruction)
                                      : std::nullopt,
                      content, set.buttons, set.default_id, set.cancel_id);
}

class ShowMessage : public testing::Test {
 protected:
  void SetUp() override {
    install_main_window_state(std::make_unique<MainWindowState>(AppSettings{}));
    owner_ = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                             600, 400, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    main_window_state().main_window = owner_;
  }
  void TearDown() override {
    set_message_responder(nullptr);
    DestroyWindow(owner_);
    remove_main_window_state();
  }

  HWND owner_ = nullptr;
};

TEST_F(ShowMessage, ResponderSeesTheRequestAsGiven) {
  std::vector<MessageRequest> seen;
  set_message_responder([&](const MessageRequest& request) -> std::optional<int> {
    seen.push_back(request);
    return IDNO;
  });
  EXPECT_EQ(show(kConsent, u"Two\nlines"), IDNO);
  EXPECT_EQ(show(kUnsavedChanges, u"Save?"), IDNO);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].instruction, std::optional<std::u16string>(u"Check for updates?"));
  EXPECT_EQ(seen[0].content, u"Two\nlines");
  EXPECT_EQ(seen[0].default_id, IDYES);
  EXPECT_EQ(seen[0].cancel_id, IDNO);
  EXPECT_EQ(seen[1].instruction, std::nullopt);
  ASSERT_EQ(seen[1].buttons.size(), 3u);
  EXPECT_EQ(seen[1].buttons[1].id, IDNO);
  EXPECT_EQ(seen[1].buttons[1].label, u"Don't save");
  EXPECT_EQ(seen[1].buttons[2].label, u"Cancel");
}

TEST_F(ShowMessage, AnswersMapDismissalToTheCancelResult) {
  struct Row {
    const char* why;
    const MessageSet& set;
    std::optional<int> pressed;  // nothing: the dialog could not be shown
    int expected;
  };
  const std::vector<Row> rows = {
      {"Save pressed", kUnsavedChanges, IDYES, IDYES},
      {"Don't save pressed", kUnsavedChanges, IDNO, IDNO},
      {"Esc on the unsaved-changes question is its Cancel", kUnsavedChanges, IDCANCEL, IDCANCEL},
      {"Esc on the reload question keeps the changes", kReload, IDCANCEL, IDNO},
      {"Reload pressed", kReload, IDYES, IDYES},
      {"closing the consent question is Don't check", kConsent, IDCANCEL, IDNO},
      {"the Cancel button of the large-file question", kLargeFile, IDCANCEL, IDCANCEL},
      {"Open pressed", kLargeFile, IDOK, IDOK},
      {"Esc on an error is OK", kError, IDCANCEL, IDOK},
      {"a dialog that cannot be shown reads as cancel", kReload, std::nullopt, IDNO},
      {"a failed error message reads as OK", kError, std::nullopt, IDOK},
  };
  for (const Row& row : rows) {
    set_message_responder([&](const MessageRequest&) { return row.pressed; });
    EXPECT_EQ(show(row.set), row.expected) << row.why;
  }
}

TEST_F(ShowMessage, OnlyOneMessageAtATime) {
  int shown = 0;
  int nested_answer = 0;
  set_message_responder([&](const MessageRequest&) -> std::optional<int> {
    ++shown;
    // The reload question arrives while the save question is open.
    nested_answer = show(kReload);
    return IDYES;
  });
  EXPECT_EQ(show(kUnsavedChanges), IDYES);
  EXPECT_EQ(nested_answer, IDNO) << "answered with its cancel result";
  EXPECT_EQ(shown, 1) << "nothing shown for the second request";
  EXPECT_FALSE(main_window_state().message_dialog_open);

  // Once the first is closed, the next one is shown again.
  EXPECT_EQ(show(kReload), IDYES);
  EXPECT_EQ(shown, 2);
}

// Drives a real task dialog from a thread timer, which the dialog's own modal loop dispatches.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND dialog)> act) : act_(std::move(act)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 50, tick);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool acted() const { return acted_; }

 private:
  static BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (lstrcmpW(class_name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }

  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* driver = current_;
    if (driver == nullptr) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_dialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr) return;
    if (driver->acted_) {
      // Never leave a test hanging on a dialog that ignored what the driver did.
      if (++driver->ticks_after_acting_ == 100) {
        ADD_FAILURE() << "the dialog is still open";
        EndDialog(dialog, IDCANCEL);
      }
      return;
    }
    // Act as the user would: once the dialog has the keyboard focus.
    const HWND focus = GetFocus();
    if (focus != dialog && !IsChild(dialog, focus)) return;
    driver->acted_ = true;
    driver->act_(dialog);
  }

  static inline DialogDriver* current_ = nullptr;
  std::function<void(HWND)> act_;
  UINT_PTR timer_ = 0;
  int ticks_after_acting_ = 0;
  bool acted_ = false;
};

std::wstring window_text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

struct Child {
  std::wstring class_name;
  std::wstring text;
  RECT rect;
};

std::vector<Child> visible_children(HWND dialog) {
  std::vector<Child> children;
  EnumChildWindows(
      dialog,
      [](HWND child, LPARAM list) -> BOOL {
        if (!IsWindowVisible(child)) return TRUE;
        wchar_t class_name[32] = {};
        GetClassNameW(child, class_name, 32);
        RECT rect = {};
        GetWindowRect(child, &rect);
        reinterpret_cast<std::vector<Child>*>(list)->push_back(
            {class_name, window_text(child), rect});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

std::vector<std::wstring> button_labels_left_to_right(HWND dialog) {
  std::vector<Child> buttons;
  for (Child& child : visible_children(dialog)) {
    if (lstrcmpiW(child.class_name.c_str(), L"Button") == 0) buttons.push_back(std::move(child));
  }
  std::sort(buttons.begin(), buttons.end(),
            [](const Child& a, const Child& b) { return a.rect.left < b.rect.left; });
  std::vector<std::wstring> labels;
  for (const Child& button : buttons) labels.push_back(button.text);
  return labels;
}

bool has_child_text(HWND dialog, const std::wstring& text) {
  for (const Child& child : visible_children(dialog)) {
    if (child.text == text) return true;
  }
  return false;
}

TEST_F(ShowMessage, RealDialogShowsTheRequestOverTheMainWindow) {
  DialogDriver driver([&](HWND dialog) {
    EXPECT_EQ(window_text(dialog), L"Wrenfold");
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner_);
    EXPECT_FALSE(IsWindowEnabled(owner_)) << "modal to the main window";
    EXPECT_TRUE(has_child_text(dialog, L"Check for updates?"));
    EXPECT_TRUE(has_child_text(dialog, L"Line one\nline two"));
    EXPECT_EQ(button_labels_left_to_right(dialog),
              (std::vector<std::wstring>{L"Check automatically", L"Don't check"}));
    EXPECT_EQ(window_text(GetFocus()), L"Check automatically") << "the default button";
    // A second question while this one is open is answered at once, with nothing shown.
    EXPECT_EQ(show(kReload), IDNO);
    PostMessageW(dialog, TDM_CLICK_BUTTON, IDYES, 0);
  });
  EXPECT_EQ(show(kConsent, u"Line one\nline two"), IDYES);
  EXPECT_TRUE(driver.acted());
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_FALSE(main_window_state().message_dialog_open);
}

TEST_F(ShowMessage, RealDialogAnswersButtonsAndDismissal) {
  enum class Action { Click, Key, CloseBox };
  struct Row {
    const char* why;
    const MessageSet& set;
    Action action;
    int value;  // the button id clicked, or the key pressed
    int expected;
  };
  const std::vector<Row> rows = {
      {"Don't save clicked", kUnsavedChanges, Action::Click, IDNO, IDNO},
      {"the Cancel button", kUnsavedChanges, Action::Click, IDCANCEL, IDCANCEL},
      {"Esc on the unsaved-changes question", kUnsavedChanges, Action::Key, VK_ESCAPE, IDCANCEL},
      {"the close box on the reload question", kReload, Action::CloseBox, 0, IDNO},
      {"the close box on the consent question", kConsent, Action::CloseBox, 0, IDNO},
      {"Enter presses the default button", kReload, Action::Key, VK_RETURN, IDNO},
      {"Enter on the large-file question is its Cancel", kLargeFile, Action::Key, VK_RETURN,
       IDCANCEL},
      {"Enter on the consent question", kConsent, Action::Key, VK_RETURN, IDYES},
      {"Open clicked", kLargeFile, Action::Click, IDOK, IDOK},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.why);
    DialogDriver driver([&](HWND dialog) {
      switch (row.action) {
        case Action::Click: PostMessageW(dialog, TDM_CLICK_BUTTON, row.value, 0); break;
        case Action::Key:
          PostMessageW(GetFocus(), WM_KEYDOWN, row.value, 1);
          PostMessageW(GetFocus(), WM_KEYUP, row.value, 0xC0000001);
          break;
        case Action::CloseBox: PostMessageW(dialog, WM_CLOSE, 0, 0); break;
      }
    });
    EXPECT_EQ(show(row.set), row.expected) << row.why;
    EXPECT_TRUE(driver.acted()) << row.why;
  }
}

}  // namespace
}  // namespace wrenfold::ui
