#include "dialogs.h"

#include <windows.h>
#include <commctrl.h>

#include "fatal.h"
#include "main_window_state.h"
#include "scoped_flag.h"

namespace wrenfold::ui {
namespace {

constexpr std::size_t kMaximumButtons = 3;

thread_local MessageResponder t_message_responder;

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The pressed button, or nothing when the dialog could not be shown.
std::optional<int> show_task_dialog(HWND owner, const MessageRequest& request) {
  std::vector<TASKDIALOG_BUTTON> buttons;
  buttons.reserve(request.buttons.size());
  for (const MessageButton& button : request.buttons) {
    buttons.push_back({button.id, wide(button.label)});
  }
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof(config);
  // A message raised while the window is being torn down still has to reach the user.
  config.hwndParent = IsWindow(owner) ? owner : nullptr;
  config.hInstance = GetModuleHandleW(nullptr);
  config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
  config.pszWindowTitle = L"Wrenfold";
  config.pszMainInstruction = request.instruction ? wide(*request.instruction) : nullptr;
  config.pszContent = wide(request.content);
  config.cButtons = static_cast<UINT>(buttons.size());
  config.pButtons = buttons.data();
  config.nDefaultButton = request.default_id;
  int pressed = 0;
  if (FAILED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr))) return std::nullopt;
  return pressed;
}


}  // namespace

int show_message(std::optional<std::u16string_view> instruction, std::u16string_view content,
                 std::span<const MessageButton> buttons, int default_id, int cancel_id) {
  if (buttons.empty() || buttons.size() > kMaximumButtons) {
    fatal_error("a message has one to three buttons");
  }
  MainWindowState& state = main_window_state();
  // One question at a time: a second one (a reload question arriving while the save question
  // is open) is answered as if dismissed, rather than stacking dialogs.
  if (state.message_dialog_open) return cancel_id;
  const ScopedFlag mark(state.message_dialog_open);

  MessageRequest request{
      instruction ? std::optional<std::u16string>(*instruction) : std::nullopt,
      std::u16string(content),
      std::vector<MessageButton>(buttons.begin(), buttons.end()),
      default_id,
      cancel_id,
  };
  const std::optional<int> pressed = t_message_responder
                                         ? t_message_responder(request)
                                         : show_task_dialog(state.main_window, request);
  if (!pressed || *pressed == IDCANCEL) return cancel_id;
  return *pressed;
}

void set_message_responder(MessageResponder responder) {
  t_message_responder = std::move(responder);
}

}  // namespace wrenfold::ui
