// The document flows on the real main window under Wine: bytes on disk, the editor's text,
// the title and the questions asked, with scripted answers standing in for the user.

#include <windows.h>
#include <ole2.h>
#include <richedit.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands.h"
#include "dialogs.h"
#include "document.h"
#include "editor.h"
#include "external_change.h"
#include "file_dialogs.h"
#include "format_menus.h"
#include "main_window.h"
#include "main_window_state.h"
#include "message_loop.h"
#include "platform.h"
#include "search.h"
#include "search_editor.h"
#include "settings.h"
#include "startup.h"
#include "statusbar.h"
#include "main_window_fixture.h"
#include "pump.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::wide;

using testing::pump;

namespace fs = std::filesystem;

using Bytes = std::string;

std::u16string text_of(const fs::path& path) { return path.u16string(); }

void write_bytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

Bytes read_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A drop of `paths` as the shell would hand it over.
HDROP make_drop(const std::vector<std::u16string>& paths) {
  std::u16string names;
  for (const std::u16string& path : paths) names += path + u'\0';
  names += u'\0';
  const std::size_t size = sizeof(DROPFILES) + names.size() * sizeof(char16_t);
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size() * sizeof(char16_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    static int counter = 0;
    folder_ = fs::temp_directory_path() /
              ("wrenfold-document-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
    fs::create_directories(folder_);
    settings_path_ = text_of(folder_ / "settings.json");
    AppSettings settings;
    settings.check_for_updates = false;
    ASSERT_TRUE(save_settings(settings_path_, settings).ok());

    set_message_responder([this](const MessageRequest& request) -> std::optional<int> {
      asked_.push_back(request);
      if (answers_.empty()) {
        ADD_FAILURE() << "unexpected question: " << fs::path(request.content).string();
        return IDCANCEL;
      }
      const int answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
    set_file_dialog_responder([this](const FileDialogRequest& request) -> FileDialogOutcome {
      dialogs_.push_back(request);
      if (dialog_answers_.empty()) {
        ADD_FAILURE() << "unexpected file dialog";
        return std::optional<FileDialogChoice>();
      }
      FileDialogOutcome answer = dialog_answers_.front();
      dialog_answers_.pop_front();
      return answer;
    });

    StartOptions options;
    options.settings_path = settings_path_;
    options.command_line = u"ui_tests.exe";
    state_ = &start_main_window(GetModuleHandleW(nullptr), options);
    pump(*state_, 50);
  }

  void TearDown() override {
    platform::simulate_disk_full_after(std::nullopt);
    testing::end_main_window();
    set_message_responder({});
    set_file_dialog_responder({});
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::all, ignored);
    fs::remove_all(folder_, ignored);
    OleUninitialize();
    EXPECT_TRUE(answers_.empty()) << "a scripted answer was never asked for";
    EXPECT_TRUE(dialog_answers_.empty()) << "a scripted file dialog never opened";
  }

  MainWindowState& state() { return *state_; }

  std::u16string text() {
    state_->cached_text.reset();
    return *editor_text(*state_);
  }

  std::u16string title() {
    wchar_t buffer[512] = {};
    GetWindowTextW(state_->main_window, buffer, 512);
    return reinterpret_cast<const char16_t*>(buffer);
  }

  void type(std::u16string_view typed) {
    for (char16_t unit : typed) SendMessageW(state_->editor, WM_CHAR, unit, 1);
  }

  void answer(std::initializer_list<int> ids) { answers_.insert(answers_.end(), ids); }
  void answer_dialog(FileDialogOutcome outcome) { dialog_answers_.push_back(std::move(outcome)); }
  static FileDialogOutcome cancelled() { return std::optional<FileDialogChoice>(); }
  static FileDialogOutcome chosen(const fs::path& path, Encoding encoding) {
    return std::optional<FileDialogChoice>(FileDialogChoice{text_of(path), encoding});
  }

  // Opens `bytes` written to `name`; the path opened.
  fs::path open_file_with(const char* name, const Bytes& bytes) {
    const fs::path path = folder_ / name;
    write_bytes(path, bytes);
    open_path(*state_, text_of(path));
    return path;
  }

  fs::path folder_;
  std::u16string settings_path_;
  MainWindowState* state_ = nullptr;
  std::vector<MessageRequest> asked_;
  std::deque<int> answers_;
  std::vector<FileDialogRequest> dialogs_;
  std::deque<FileDialogOutcome> dialog_answers_;
};

TEST(DocumentTitle, EveryState) {
  EXPECT_EQ(document_title(std::nullopt, false), u"Untitled - Wrenfold");
  EXPECT_EQ(document_title(std::nullopt, true), u"*Untitled - Wrenfold");
  EXPECT_EQ(document_title(u"C:\\notes\\todo.txt", false), u"todo.txt - Wrenfold");
  EXPECT_EQ(document_title(std::u16string(u"C:\\a\\x") + char16_t(0xD800) + u".txt", false),
            u"x\uFFFD.txt - Wrenfold")
      << "a lone surrogate in the name shows as the replacement character";
  EXPECT_EQ(document_title(u"C:\\a\\\U0001F600.txt", true), u"*\U0001F600.txt - Wrenfold");
  EXPECT_EQ(document_title(u"C:\\notes\\todo.txt", true), u"*todo.txt - Wrenfold");
  EXPECT_EQ(document_title(u"Z:/tmp/mixed\\sep.md", false), u"sep.md - Wrenfold");
}

TEST_F(DocumentTest, EachEncodingAndLineEndingOpensAndSavesBackByteForByte) {
  struct Row {
    Bytes bytes;
    Encoding encoding;
    LineEnding line_ending;
    std::u16string text;
  };
  const std::vector<Row> rows = {
      {"a\r\nb\r\n", Encoding::Utf8, LineEnding::Windows, u"a\rb\r"},
      {"\xC3\xA9t\xC3\xA9\nx", Encoding::Utf8, LineEnding::Unix, u"\u00E9t\u00E9\rx"},
      {"\xEF\xBB\xBFold\rmac", Encoding::Utf8Bom, LineEnding::Macintosh, u"old\rmac"},
      {Bytes("\xFF\xFEh\0i\0\r\0\n\0", 10), Encoding::Utf16Le, LineEnding::Windows, u"hi\r"},
      {Bytes("\xFE\xFF\0h\0\n\x21\x92", 8), Encoding::Utf16Be, LineEnding::Unix, u"h\r\u2192"},
      {"caf\xE9\r\n", Encoding::Ansi, LineEnding::Windows, u"caf\u00E9\r"},
  };
  int index = 0;
  for (const Row& row : rows) {
    const fs::path path = open_file_with(("file" + std::to_string(index++) + ".txt").c_str(), row.bytes);
    EXPECT_EQ(text(), row.text) << path;
    EXPECT_EQ(state().encoding, row.encoding) << path;
    EXPECT_EQ(state().line_ending, row.line_ending) << path;
    EXPECT_EQ(current_status_snapshot().encoding, encoding_display_name(row.encoding));
    EXPECT_FALSE(state().modified);
    EXPECT_TRUE(state().disk_stamp.has_value());

    write_bytes(path, "something else");
    dispatch_command(state(), kCommandSave);
    EXPECT_EQ(read_bytes(path), row.bytes) << path;
  }
  EXPECT_TRUE(asked_.empty());
}

TEST_F(DocumentTest, EditThenSaveWritesTheDocumentsFormatAndClearsTheStar) {
  const fs::path path = open_file_with("unix.txt", "one\ntwo\n");
  EXPECT_EQ(title(), u"unix.txt - Wrenfold");
  set_editor_selection(state().editor, 3, 3);
  type(u"!");
  EXPECT_EQ(title(), u"*unix.txt - Wrenfold");
  dispatch_command(state(), kCommandSave);
  EXPECT_EQ(read_bytes(path), "one!\ntwo\n");
  EXPECT_EQ(title(), u"unix.txt - Wrenfold");
  EXPECT_FALSE(state().modified);
}

TEST_F(DocumentTest, FormatMenusSetTheStarAndApplyAtTheNextSaveOnly) {
  const fs::path path = open_file_with("menu.txt", "x\r\ny");
  apply_format_choice(state(), kFirstEncodingItem + 2);
  EXPECT_EQ(title(), u"*menu.txt - Wrenfold");
  EXPECT_EQ(current_status_snapshot().encoding, u"UTF-16 LE");
  EXPECT_EQ(text(), u"x\ry") << "the text is not converted";
  EXPECT_EQ(read_bytes(path), "x\r\ny") << "nothing written before the save";
  apply_format_choice(state(), kFirstLineEndingItem + 1);
  EXPECT_EQ(current_status_snapshot().line_ending, u"Unix (LF)");
  dispatch_command(state(), kCommandSave);
  EXPECT_EQ(read_bytes(path), Bytes("\xFF\xFEx\0\n\0y\0", 8));

  apply_format_choice(state(), kFirstEncodingItem + 2);
  EXPECT_FALSE(state().modified) << "choosing the current value changes nothing";

  HMENU menu = build_format_menu(state(), false);
  ASSERT_EQ(GetMenuItemCount(menu), 5);
  for (unsigned index = 0; index < 5; ++index) {
    wchar_t label[64] = {};
    GetMenuStringW(menu, kFirstEncodingItem + index, label, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(label)),
              encoding_display_name(static_cast<Encoding>(index)));
    const UINT checked = GetMenuState(menu, kFirstEncodingItem + index, MF_BYCOMMAND) & MF_CHECKED;
    EXPECT_EQ(checked != 0, index == 2) << index;
  }
  DestroyMenu(menu);
}

TEST_F(DocumentTest, TheStatusBarMenuOpensOnItsCommandAndTakesTheChoice) {
  open_file_with("keys.txt", "a\r\n");
  // The menu's own loop reads these: the second item, then Enter.
  PostMessageW(state().main_window, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(state().main_window, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(state().main_window, WM_KEYDOWN, VK_RETURN, 0);
  dispatch_command(state(), kCommandLineEndingMenu);
  EXPECT_EQ(state().line_ending, LineEnding::Unix);
  EXPECT_TRUE(state().modified);

  PostMessageW(state().main_window, WM_KEYDOWN, VK_ESCAPE, 0);
  dispatch_command(state(), kCommandEncodingMenu);
  EXPECT_EQ(state().encoding, Encoding::Utf8) << "Esc chooses nothing";
}

TEST_F(DocumentTest, UnsavedChangesQuestionInEachOfItsAnswers) {
  const fs::path path = open_file_with("doc.txt", "old");
  type(u"new ");

  answer({IDCANCEL});
  dispatch_command(state(), kCommandNew);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content, u"Do you want to save changes to " + text_of(path) + u"?");
  EXPECT_EQ(asked_[0].default_id, IDYES);
  EXPECT_EQ(asked_[0].cancel_id, IDCANCEL);
  ASSERT_EQ(asked_[0].buttons.size(), 3u);
  EXPECT_EQ(asked_[0].buttons[1].label, u"Don't save");
  EXPECT_EQ(text(), u"new old") << "Cancel keeps everything";

  answer({IDYES});
  dispatch_command(state(), kCommandNew);
  EXPECT_EQ(read_bytes(path), "new old") << "Save writes first";
  EXPECT_EQ(text(), u"");
  EXPECT_EQ(title(), u"Untitled - Wrenfold");

  type(u"draft");
  answer({IDNO});
  dispatch_command(state(), kCommandNew);
  EXPECT_EQ(text(), u"") << "Don't save discards";
  EXPECT_EQ(read_bytes(path), "new old");

  // Save on an untitled document runs Save As; cancelling that dialog stops the close.
  type(u"draft");
  answer({IDYES});
  answer_dialog(cancelled());
  SendMessageW(state().main_window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(IsWindow(state().main_window));
  EXPECT_TRUE(state().modified);
  EXPECT_EQ(asked_.back().content, u"Do you want to save changes to Untitled?");
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_TRUE(dialogs_[0].save);
  EXPECT_EQ(dialogs_[0].file_name, u"*.txt");

  // A shutdown asks the same question and is refused on Cancel.
  answer({IDCANCEL});
  EXPECT_EQ(SendMessageW(state().main_window, WM_QUERYENDSESSION, 0, 0), FALSE);

  // Save with a name chosen in the dialog writes the file and lets the window close.
  const fs::path chosen_path = folder_ / "chosen.txt";
  answer({IDYES});
  answer_dialog(chosen(chosen_path, Encoding::Utf8Bom));
  SendMessageW(state().main_window, WM_CLOSE, 0, 0);
  EXPECT_EQ(read_bytes(chosen_path), "\xEF\xBB\xBF" "draft");
  EXPECT_FALSE(IsWindow(state().main_window));
}

TEST_F(DocumentTest, NoQuestionWithoutChanges) {
  EXPECT_EQ(SendMessageW(state().main_window, WM_QUERYENDSESSION, 0, 0), TRUE);
  dispatch_command(state(), kCommandNew);
  EXPECT_TRUE(asked_.empty());
}

TEST_F(DocumentTest, OpenDialogStartsInTheDocumentsFolderAndOpensTheChoice) {
  const fs::path first = open_file_with("first.txt", "1");
  const fs::path second = folder_ / "second.txt";
  write_bytes(second, "2");
  answer_dialog(chosen(second, Encoding::Utf8));
  dispatch_command(state(), kCommandOpen);
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_FALSE(dialogs_[0].save);
  ASSERT_TRUE(dialogs_[0].folder.has_value());
  EXPECT_EQ(fs::path(*dialogs_[0].folder), folder_);
  EXPECT_EQ(text(), u"2");
  EXPECT_EQ(title(), u"second.txt - Wrenfold");

  answer_dialog(cancelled());
  dispatch_command(state(), kCommandOpen);
  EXPECT_EQ(text(), u"2") << "cancelling opens nothing";
}

TEST_F(DocumentTest, SaveAsOffersTheNameAndEncodingAndFailsOpenly) {
  const fs::path path = open_file_with("name.txt", "\xEF\xBB\xBFkeep");
  answer_dialog(Error{u"The dialog broke."});
  answer({IDOK});
  EXPECT_FALSE(save_as(state()));
  ASSERT_EQ(dialogs_.size(), 1u);
  EXPECT_EQ(dialogs_[0].file_name, u"name.txt");
  EXPECT_EQ(dialogs_[0].encoding, Encoding::Utf8Bom);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content, u"Couldn't open the save dialog.\n\nThe dialog broke.");

  const fs::path other = folder_ / "other.txt";
  answer_dialog(chosen(other, Encoding::Utf16Be));
  EXPECT_TRUE(save_as(state()));
  EXPECT_EQ(read_bytes(other), Bytes("\xFE\xFF\0k\0e\0e\0p", 10));
  EXPECT_EQ(read_bytes(path), "\xEF\xBB\xBFkeep") << "the old file is left alone";
  EXPECT_EQ(title(), u"other.txt - Wrenfold");
  EXPECT_EQ(state().encoding, Encoding::Utf16Be);
}

TEST_F(DocumentTest, AnsiSaveThatWouldLoseCharactersAsksFirst) {
  if (GetACP() != 1252) GTEST_SKIP() << "needs code page 1252";
  const fs::path path = open_file_with("ansi.txt", "plain");
  type(u"\u2192");
  answer({IDCANCEL});
  EXPECT_FALSE(save_to(state(), text_of(path), Encoding::Ansi));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content,
            u"This file contains characters that can't be saved as ANSI. They will be lost.\n\n"
            u"To keep them, save the file with a Unicode encoding such as UTF-8.");
  EXPECT_EQ(asked_[0].default_id, IDCANCEL);
  EXPECT_EQ(read_bytes(path), "plain") << "Cancel writes nothing";
  EXPECT_TRUE(state().modified);

  answer({IDOK});
  EXPECT_TRUE(save_to(state(), text_of(path), Encoding::Ansi));
  EXPECT_EQ(read_bytes(path), "?plain");
  EXPECT_EQ(state().encoding, Encoding::Ansi);

  set_editor_selection(state().editor, 0, 1);
  type(u"\u20AC");
  EXPECT_TRUE(save_to(state(), text_of(path), Encoding::Ansi)) << "a character ANSI holds needs no question";
  EXPECT_EQ(read_bytes(path), "\x80plain");
}

TEST_F(DocumentTest, ADecodeThatReplacedBytesAsksBeforeTheFirstSave) {
  const fs::path path = open_file_with("damaged.txt", "\xEF\xBB\xBF" "a\xFF\xFE b");
  EXPECT_EQ(text(), u"a\uFFFD\uFFFD b");
  answer({IDCANCEL});
  EXPECT_FALSE(save(state()));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content,
            u"When damaged.txt was opened, 2 invalid byte sequences in it couldn't be read as UTF-8 with BOM and "
            u"became the replacement character \uFFFD. Saving writes \uFFFD in their place, and the original bytes "
            u"are lost.\n\nTo keep them, close the file without saving.");
  EXPECT_EQ(asked_[0].default_id, IDCANCEL);
  EXPECT_EQ(read_bytes(path), "\xEF\xBB\xBF" "a\xFF\xFE b") << "Cancel writes nothing";

  answer({IDOK});
  EXPECT_TRUE(save(state()));
  EXPECT_EQ(read_bytes(path), "\xEF\xBB\xBF" "a\xEF\xBF\xBD\xEF\xBF\xBD b");
  type(u"x");
  EXPECT_TRUE(save(state())) << "asked once: the file holds the replacement characters now";
  EXPECT_EQ(asked_.size(), 2u);

  open_file_with("odd.txt", "\xFF\xFE\x41\x42\x43");
  answer({IDCANCEL});
  EXPECT_FALSE(save(state())) << "UTF-16 with an odd last byte";
  ASSERT_EQ(asked_.size(), 3u);
  EXPECT_NE(asked_[2].content.find(u"1 invalid byte sequence in it couldn't be read as UTF-16 LE"), std::u16string::npos);
  open_file_with("fine.txt", "fine");
  EXPECT_TRUE(save(state())) << "a clean file is saved without a word";
}

TEST_F(DocumentTest, NullCharactersOpenWholeAndAnEditSavesEveryByte) {
  const Bytes original("abc\0def\r\ng\0\0h", 13);
  const fs::path path = open_file_with("zeros.txt", original);
  const std::u16string expected(u"abc\0def\rg\0\0h", 12);
  EXPECT_EQ(editor_text_length(state().editor), expected.size());
  EXPECT_EQ(text(), expected) << "the control holds every unit";
  EXPECT_EQ(*editor_text(state()), expected) << "and the cached text agrees";
  TEXTRANGEW around = {{2, 5}, nullptr};
  wchar_t units[4] = {};
  around.lpstrText = units;
  EXPECT_EQ(SendMessageW(state().editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&around)), 3);
  EXPECT_EQ(std::wstring(units, 3), std::wstring(L"c\0d", 3));

  type(u"x");
  dispatch_command(state(), kCommandSave);
  EXPECT_EQ(read_bytes(path), Bytes("xabc\0def\r\ng\0\0h", 14));
  EXPECT_TRUE(asked_.empty());
}

// Program edits replace the selection with text that may hold U+0000: Replace All in such a
// document puts back the whole text, which must not end at the first null character.
TEST_F(DocumentTest, ReplaceAllInATextWithNullCharactersKeepsThemAndUndoes) {
  const std::u16string original(u"abc\0def\rb\0\0b", 13);
  open_file_with("zeros.txt", Bytes("abc\0def\r\nb\0\0b", 14));
  ASSERT_EQ(text(), original);
  RichEditSearchEditor editor(state());
  SearchRequest request;
  request.find_text = u"b";
  EXPECT_EQ(replace_all(editor, state().search, request, u"B"), u"Replaced 3 occurrences.");
  EXPECT_EQ(text(), std::u16string(u"aBc\0def\rB\0\0B", 13));
  EXPECT_EQ(*editor_text(state()), text());
  SendMessageW(state().editor, EM_UNDO, 0, 0);
  EXPECT_EQ(text(), original) << "one undo step brings the old text back";
}

// Wine's control keeps U+0000; one that drops them leaves the count of what it lost.
TEST_F(DocumentTest, ALoadTheEditorCouldNotHoldWholeAsksBeforeTheFirstSave) {
  const fs::path path = open_file_with("held.txt", "abc");
  state().load_lost_units = 4;
  answer({IDCANCEL});
  EXPECT_FALSE(save(state()));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content,
            u"When held.txt was opened, the editor couldn't hold 4 characters of it (null characters and what "
            u"follows them). Saving writes the text without them, and they are lost.\n\nTo keep them, close the "
            u"file without saving.");
  EXPECT_EQ(read_bytes(path), "abc");
  answer({IDOK});
  type(u"x");
  EXPECT_TRUE(save(state()));
  EXPECT_EQ(read_bytes(path), "xabc");
  EXPECT_TRUE(save(state())) << "asked once";
  EXPECT_EQ(asked_.size(), 2u);
}

TEST_F(DocumentTest, FailedSaveKeepsTheDocumentModifiedAndTheOldFile) {
  const fs::path path = open_file_with("locked.txt", "old content");
  type(u"new ");
  SetFileAttributesW(wide(text_of(path)), FILE_ATTRIBUTE_READONLY);
  answer({IDOK});
  EXPECT_FALSE(save(state()));
  SetFileAttributesW(wide(text_of(path)), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content.rfind(u"Couldn't save " + text_of(path) + u".\n\n", 0), 0u);
  EXPECT_NE(asked_[0].content.find(u"(os error "), std::u16string::npos) << "with the system's text";
  EXPECT_EQ(read_bytes(path), "old content");
  EXPECT_TRUE(state().modified);
  EXPECT_EQ(title(), u"*locked.txt - Wrenfold");

  platform::simulate_disk_full_after(4);
  answer({IDOK});
  EXPECT_FALSE(save(state()));
  platform::simulate_disk_full_after(std::nullopt);
  EXPECT_EQ(asked_.back().content.rfind(u"Couldn't save ", 0), 0u);
  EXPECT_EQ(read_bytes(path), "old content");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2)
      << "the settings file and the document, no temporary file";
  EXPECT_TRUE(state().modified);

  // Closing with Save while the file can't be written keeps the window and the changes.
  SetFileAttributesW(wide(text_of(path)), FILE_ATTRIBUTE_READONLY);
  answer({IDYES, IDOK});
  SendMessageW(state().main_window, WM_CLOSE, 0, 0);
  SetFileAttributesW(wide(text_of(path)), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(IsWindow(state().main_window)) << "a failed save keeps the window open";
}

TEST_F(DocumentTest, SavingThroughALinkKeepsTheLink) {
  fs::create_directory(folder_ / "real");
  write_bytes(folder_ / "real" / "target.txt", "old");
  // Wine reports success here and makes nothing.
  if (!CreateSymbolicLinkW(wide(text_of(folder_ / "link.txt")), L"real\\target.txt", 0) ||
      !platform::is_symbolic_link(text_of(folder_ / "link.txt"))) {
    GTEST_SKIP() << "this system can't make file links";
  }
  open_path(state(), text_of(folder_ / "link.txt"));
  EXPECT_EQ(text(), u"old");
  EXPECT_TRUE(state().disk_stamp.has_value()) << "the target's stamp";
  type(u"new ");
  EXPECT_TRUE(save(state()));
  EXPECT_TRUE(platform::is_symbolic_link(text_of(folder_ / "link.txt")));
  EXPECT_EQ(read_bytes(folder_ / "real" / "target.txt"), "new old");
}

TEST_F(DocumentTest, LargeFileAsksAndCancelLoadsNothing) {
  const fs::path path = folder_ / "huge.log";
  {
    // Sparse: the size is set without writing the bytes.
    HANDLE file = CreateFileW(wide(text_of(path)), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 104'857'601;
    SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  type(u"kept");
  state().modified = false;
  answer({IDCANCEL});
  open_path(state(), text_of(path));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].instruction, std::optional<std::u16string>(u"Large file"));
  EXPECT_EQ(asked_[0].content,
            u"huge.log is 100 MB. Large files can take a while to open and use a lot of memory.\n\nOpen it anyway?");
  EXPECT_EQ(asked_[0].default_id, IDCANCEL);
  EXPECT_EQ(text(), u"kept");
  EXPECT_EQ(state().current_file, std::nullopt);
}

TEST_F(DocumentTest, StartPathOpensOffersToCreateOrReportsTheMissingFolder) {
  const fs::path existing = folder_ / "given.txt";
  write_bytes(existing, "given");
  open_start_path(state(), text_of(existing));
  EXPECT_EQ(text(), u"given");

  const fs::path missing = folder_ / "new.txt";
  answer({IDNO});
  open_start_path(state(), text_of(missing));
  EXPECT_EQ(asked_.back().content, u"Can't find the new.txt file.\n\nDo you want to create a new file?");
  EXPECT_EQ(text(), u"given") << "No leaves the document";

  answer({IDYES});
  open_start_path(state(), text_of(missing));
  EXPECT_EQ(text(), u"");
  EXPECT_EQ(title(), u"new.txt - Wrenfold");
  EXPECT_FALSE(fs::exists(missing)) << "created by the first save only";
  type(u"first");
  dispatch_command(state(), kCommandSave);
  EXPECT_TRUE(dialogs_.empty()) << "saved under the given name without a dialog";
  EXPECT_EQ(read_bytes(missing), "first");

  const fs::path nowhere = folder_ / "no-such-folder" / "x.txt";
  answer({IDOK});
  open_start_path(state(), text_of(nowhere));
  EXPECT_EQ(asked_.back().content, u"The path for " + text_of(nowhere) + u" doesn't exist.");
}

TEST_F(DocumentTest, ReadFailureReportsAndKeepsTheDocument) {
  const fs::path path = open_file_with("kept.txt", "kept");
  answer({IDOK});
  open_path(state(), text_of(folder_ / "gone.txt"));
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content.rfind(u"Couldn't open " + text_of(folder_ / "gone.txt") + u".\n\n", 0), 0u);
  EXPECT_EQ(text(), u"kept");
  EXPECT_EQ(state().current_file, text_of(path));
}

TEST_F(DocumentTest, DropOpensOnlyTheFirstFileAndIgnoresFolders) {
  write_bytes(folder_ / "a.txt", "first");
  write_bytes(folder_ / "b.txt", "second");
  SendMessageW(state().main_window, WM_DROPFILES,
               reinterpret_cast<WPARAM>(make_drop({text_of(folder_ / "a.txt"), text_of(folder_ / "b.txt")})), 0);
  EXPECT_EQ(text(), u"first");
  EXPECT_EQ(title(), u"a.txt - Wrenfold");

  SendMessageW(state().main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({text_of(folder_)})), 0);
  EXPECT_EQ(text(), u"first") << "a folder does nothing";

  // The editor reports its drops as a notification; the unsaved-changes question comes first.
  type(u"!");
  answer({IDCANCEL});
  ENDROPFILES notice = {};
  notice.nmhdr.hwndFrom = state().editor;
  notice.nmhdr.idFrom = kEditorControlId;
  notice.nmhdr.code = EN_DROPFILES;
  notice.hDrop = make_drop({text_of(folder_ / "b.txt")});
  EXPECT_EQ(SendMessageW(state().main_window, WM_NOTIFY, kEditorControlId, reinterpret_cast<LPARAM>(&notice)), 0);
  EXPECT_EQ(asked_.size(), 1u);
  EXPECT_EQ(text(), u"!first");
}

// A drop on the editor loads while the control is still handling it; over a large text that
// load replaces the control itself, which must outlive its own message.
TEST_F(DocumentTest, ADropOnTheEditorOverALargeTextOpensTheFile) {
  std::string large;
  while (large.size() <= 2 * kRenewEditorAbove) large += "a line of a large document, sixty characters long or so.\r\n";
  open_file_with("large.txt", large);
  write_bytes(folder_ / "b.txt", "second");
  const HWND old_editor = state().editor;
  SendMessageW(old_editor, WM_DROPFILES, reinterpret_cast<WPARAM>(make_drop({text_of(folder_ / "b.txt")})), 0);
  EXPECT_NE(state().editor, old_editor);
  EXPECT_EQ(text(), u"second");
  EXPECT_EQ(title(), u"b.txt - Wrenfold");
  EXPECT_TRUE(IsWindow(old_editor)) << "it outlives its own message";
  pump(state(), 50);
  EXPECT_FALSE(IsWindow(old_editor));
  type(u"x");
  EXPECT_EQ(title(), u"*b.txt - Wrenfold");
}

// What the real save dialog showed, read from its windows while it is open.
struct ShownSaveDialog {
  bool found = false;
  bool encoding_label = false;
  std::vector<std::u16string> encodings;
  int selected = -1;
};

ShownSaveDialog g_shown_dialog;

BOOL CALLBACK inspect_dialog_child(HWND child, LPARAM) {
  wchar_t class_name[32] = {};
  GetClassNameW(child, class_name, 32);
  wchar_t text[64] = {};
  GetWindowTextW(child, text, 64);
  if (std::wstring_view(text) == L"Encoding:") g_shown_dialog.encoding_label = true;
  if (std::wstring_view(class_name) == L"ComboBox" && g_shown_dialog.encodings.empty()) {
    const LRESULT count = SendMessageW(child, CB_GETCOUNT, 0, 0);
    std::vector<std::u16string> items;
    for (LRESULT index = 0; index < count; ++index) {
      wchar_t item[64] = {};
      if (SendMessageW(child, CB_GETLBTEXTLEN, index, 0) < 64) SendMessageW(child, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item));
      items.emplace_back(reinterpret_cast<const char16_t*>(item));
    }
    // The encoding box is the one that lists "UTF-16 BE"; the others are the name and the types.
    if (std::find(items.begin(), items.end(), u"UTF-16 BE") != items.end()) {
      g_shown_dialog.encodings = items;
      g_shown_dialog.selected = static_cast<int>(SendMessageW(child, CB_GETCURSEL, 0, 0));
    }
  }
  return TRUE;
}

BOOL CALLBACK find_and_cancel_dialog(HWND window, LPARAM main_window) {
  if (window == reinterpret_cast<HWND>(main_window) || !IsWindowVisible(window)) return TRUE;
  if (GetWindow(window, GW_OWNER) != reinterpret_cast<HWND>(main_window)) return TRUE;
  g_shown_dialog.found = true;
  EnumChildWindows(window, inspect_dialog_child, 0);
  PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
  return FALSE;
}

void CALLBACK cancel_shown_dialog(HWND, UINT, UINT_PTR timer, DWORD) {
  MainWindowState* state = find_main_window_state();
  if (state == nullptr) return;
  EnumThreadWindows(GetCurrentThreadId(), find_and_cancel_dialog, reinterpret_cast<LPARAM>(state->main_window));
  if (g_shown_dialog.found) KillTimer(nullptr, timer);
}

TEST_F(DocumentTest, TheRealSaveDialogOffersTheEncodingsAndCancelsQuietly) {
  open_file_with("utf16.txt", Bytes("\xFF\xFE" "a\0", 4));
  type(u"b");
  set_file_dialog_responder({});
  g_shown_dialog = {};
  const UINT_PTR timer = SetTimer(nullptr, 0, 300, cancel_shown_dialog);
  EXPECT_FALSE(save_as(state()));
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_shown_dialog.found) << "no save dialog appeared";
  EXPECT_TRUE(g_shown_dialog.encoding_label);
  EXPECT_EQ(g_shown_dialog.encodings,
            (std::vector<std::u16string>{u"UTF-8", u"UTF-8 with BOM", u"UTF-16 LE", u"UTF-16 BE", u"ANSI"}));
  EXPECT_EQ(g_shown_dialog.selected, 2) << "the document's encoding";
  EXPECT_TRUE(asked_.empty()) << "cancelling says nothing";
  EXPECT_TRUE(state().modified);
}

class ExternalChangeTest : public DocumentTest {
 protected:
  // Rewrites the file as another program would, with a visibly different stamp.
  static void rewrite(const fs::path& path, const Bytes& bytes) {
    write_bytes(path, bytes);
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(5));
  }
};

TEST_F(ExternalChangeTest, UnmodifiedDocumentReloadsSilentlyWithTheCaretClamped) {
  const fs::path path = open_file_with("watched.txt", "0123456789\r\nabcdef");
  set_editor_selection(state().editor, 4, 15);
  rewrite(path, "0123456\n");
  SendMessageW(state().main_window, kMessageCheckExternalChange, 0, 0);
  EXPECT_EQ(text(), u"0123456\r");
  EXPECT_EQ(state().line_ending, LineEnding::Unix);
  const EditorSelectionRange selection = editor_selection(state().editor);
  EXPECT_EQ(selection.start, 4u);
  EXPECT_EQ(selection.end, 8u) << "the end cut to the new length";
  EXPECT_EQ(state().transient_message, std::optional<std::u16string>(u"Reloaded: changed by another program"));
  EXPECT_TRUE(asked_.empty());
  EXPECT_FALSE(state().modified);

  // Nothing more happens while the file stays as it is.
  type(u"x");
  state().modified = false;
  check_external_change(state());
  EXPECT_EQ(text().substr(0, 5), u"0123x");
}

TEST_F(ExternalChangeTest, UnsavedChangesAskOnceAndReloadOnlyOnReload) {
  const fs::path path = open_file_with("edited.txt", "disk");
  type(u"mine ");
  rewrite(path, "theirs");
  answer({IDNO});
  check_external_change(state());
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].content,
            text_of(path) + u" has been changed by another program.\n\nReload it and lose your changes?");
  EXPECT_EQ(asked_[0].default_id, IDNO);
  EXPECT_EQ(text(), u"mine disk");
  check_external_change(state());
  EXPECT_EQ(asked_.size(), 1u) << "the same change is not reported again";

  rewrite(path, "theirs again");
  answer({IDYES});
  check_external_change(state());
  EXPECT_EQ(text(), u"theirs again");
  EXPECT_FALSE(state().modified);
}

TEST_F(ExternalChangeTest, AReloadThatFailsIsTriedAgainOnTheNextActivation) {
  const fs::path path = open_file_with("locked.txt", "before");
  rewrite(path, "after");
  // Another program holds the file so that nobody can read it.
  HANDLE held = CreateFileW(path.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  check_external_change(state());
  CloseHandle(held);
  EXPECT_EQ(text(), u"before");
  EXPECT_EQ(state().transient_message,
            std::optional<std::u16string>(u"locked.txt was changed by another program, but couldn't be reloaded."));
  check_external_change(state());
  EXPECT_EQ(text(), u"after") << "the change is still seen once the file can be read";
  EXPECT_TRUE(asked_.empty());
}

TEST_F(ExternalChangeTest, NoCheckWhileAQuestionIsOpen) {
  const fs::path path = open_file_with("busy.txt", "before");
  rewrite(path, "after");
  state().message_dialog_open = true;
  check_external_change(state());
  state().message_dialog_open = false;
  EXPECT_EQ(text(), u"before");
  check_external_change(state());
  EXPECT_EQ(text(), u"after");
}

TEST_F(ExternalChangeTest, DeletedFileMarksTheDocumentAndTheNextSaveWritesItBack) {
  const fs::path path = open_file_with("doomed.txt", "keep me");
  fs::remove(path);
  check_external_change(state());
  EXPECT_TRUE(state().modified);
  EXPECT_EQ(title(), u"*doomed.txt - Wrenfold");
  EXPECT_FALSE(state().disk_stamp.has_value());
  EXPECT_EQ(state().transient_message,
            std::optional<std::u16string>(u"doomed.txt was deleted or moved. Save to keep it."));
  EXPECT_EQ(text(), u"keep me");
  state().transient_message.reset();
  check_external_change(state());
  EXPECT_FALSE(state().transient_message.has_value()) << "reported once";

  dispatch_command(state(), kCommandSave);
  EXPECT_EQ(read_bytes(path), "keep me");
  EXPECT_TRUE(state().disk_stamp.has_value());
}

}  // namespace
}  // namespace wrenfold::ui
