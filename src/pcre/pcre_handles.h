#pragma once
// One owner for each PCRE2 object, and the compiled-pattern record built from them.

#include <pcre2.h>

#include <memory>
#include <string_view>
#include <vector>

#include "pcre_regex.h"

namespace wrenfold::pcre {

struct CodeFree {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct CompileContextFree {
  void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};
struct MatchContextFree {
  void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};
struct MatchDataFree {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct JitStackFree {
  void operator()(pcre2_jit_stack* stack) const { pcre2_jit_stack_free(stack); }
};

using Code = std::unique_ptr<pcre2_code, CodeFree>;
using CompileContext = std::unique_ptr<pcre2_compile_context, CompileContextFree>;
using MatchContext = std::unique_ptr<pcre2_match_context, MatchContextFree>;
using MatchData = std::unique_ptr<pcre2_match_data, MatchDataFree>;
using JitStack = std::unique_ptr<pcre2_jit_stack, JitStackFree>;

// PCRE2 wants a valid pointer even for an empty pattern or subject.
inline const PCRE2_UCHAR16* units(std::u16string_view text) {
  static const PCRE2_UCHAR16 kEmpty[1] = {0};
  return text.empty() ? kEmpty : reinterpret_cast<const PCRE2_UCHAR16*>(text.data());
}

}  // namespace wrenfold::pcre

namespace wrenfold {

struct CompiledPattern {
  // Members are destroyed in reverse order: the match data, the match context (which only
  // refers to the JIT stack), the JIT stack, and last the code they were all made for.
  pcre::Code code;
  pcre::JitStack jit_stack;  // null when it could not be created: the JIT then uses its own
  pcre::MatchContext match_context;
  pcre::MatchData match_data;
  std::size_t capture_count = 0;
  std::shared_ptr<const std::vector<GroupName>> names;
};

}  // namespace wrenfold
