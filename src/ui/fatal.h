#pragma once
// A broken invariant is fatal: it leaves a record in the crash log and ends the failing
// thread, which for the user-interface thread means the whole process.

#include <source_location>
#include <string>
#include <string_view>

namespace wrenfold::ui {

// The exit code of a process that met a fatal error.
inline constexpr unsigned kFatalExitCode = 3;

// Where fatal errors are recorded from now on ("error.log" beside `settings_path`), and which
// thread is the user-interface thread. Also makes every fault of the process that nothing
// handles (an access violation, an uncaught exception, std::terminate) leave a record there
// and end the process with kFatalExitCode. Done once, before any window exists.
void install_crash_log(std::u16string settings_path);

[[noreturn]] void fatal_error(std::string_view message,
                              std::source_location where = std::source_location::current());

}  // namespace wrenfold::ui
