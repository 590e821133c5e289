#pragma once
// Every question and error message of the program is one call to show_message.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::ui {

// A command button; the ids used are the standard dialog results IDOK, IDCANCEL, IDYES, IDNO.
struct MessageButton {
  int id;
  std::u16string label;
};

// One message as it would be shown.
struct MessageRequest {
  std::optional<std::u16string> instruction;  // the large first line, for a few messages only
  std::u16string content;
  std::vector<MessageButton> buttons;  // one to three, in the order shown
  int default_id;                      // the button with the focus when the dialog opens
  int cancel_id;                       // the answer for Esc, the close box, or no dialog at all
};

// Shows a task dialog owned by the main window and waits for it. Returns the id of the pressed
// button; IDCANCEL (Esc, the close box, or a button with that id), a dialog that cannot be
// shown, and a request made while another message is open all answer `cancel_id`.
int show_message(std::optional<std::u16string_view> instruction, std::u16string_view content,
                 std::span<const MessageButton> buttons, int default_id, int cancel_id);

// Stands in for the task dialog in tests: receives each request that would be shown and returns
// the button the user would press (IDCANCEL for Esc or the close box), or nothing for a dialog
// that could not be shown. An empty function restores the real dialog.
using MessageResponder = std::function<std::optional<int>(const MessageRequest&)>;
void set_message_responder(MessageResponder responder);

}  // namespace wrenfold::ui
