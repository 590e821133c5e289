// Any bytes either fail to load as settings or load to a record whose saved form loads
// back to the same record and saves to the same bytes again.

#include <cstdlib>

#include "settings.h"

using namespace wrenfold;

namespace {

std::span<const std::uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::optional<AppSettings> loaded = parse_settings({data, size});
  if (!loaded) return 0;
  const std::string saved = settings_json(*loaded);
  const std::optional<AppSettings> again = parse_settings(bytes_of(saved));
  if (!again || !(*again == *loaded)) std::abort();
  if (settings_json(*again) != saved) std::abort();
  return 0;
}
