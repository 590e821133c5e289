#pragma once
// A broken invariant ends the process with a message.

#include <string_view>

namespace wrenfold::ui {

[[noreturn]] void fatal_error(std::string_view message);

}  // namespace wrenfold::ui
