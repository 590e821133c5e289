// Any bytes either fail to read as a recovery file or read to a document that writes and
// reads back to the same document.

#include <cstdlib>

#include "recovery_file.h"

using namespace wrenfold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Result<RecoveryContent> read = parse_recovery_file({data, size});
  if (!read) {
    if (read.error().message.empty()) std::abort();
    return 0;
  }
  const Result<RecoveryContent> again = parse_recovery_file(format_recovery_file(read->header, read->text));
  if (!again) std::abort();
  const RecoveryHeader& a = read->header;
  const RecoveryHeader& b = again->header;
  if (a.path != b.path || a.encoding != b.encoding || a.line_ending != b.line_ending ||
      a.disk_stamp != b.disk_stamp || a.saved_at != b.saved_at || a.owner_process != b.owner_process ||
      read->text != again->text) {
    std::abort();
  }
  return 0;
}
