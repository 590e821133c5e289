#pragma once
// The local HTTP server that ctest starts for these tests (tests/tools/update_test_server.py).

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace wrenfold::ui::testing {

// "http://127.0.0.1:PORT", or empty (with a test failure) when the server isn't running.
inline std::u16string update_server_address() {
  std::ifstream state(WRENFOLD_UPDATE_SERVER_STATE);
  unsigned port = 0;
  state >> port;
  EXPECT_NE(port, 0u) << "no test server: start it with tests/tools/update_test_server.py start "
                      << WRENFOLD_UPDATE_FIXTURES << " " << WRENFOLD_UPDATE_SERVER_STATE;
  const std::string address = "http://127.0.0.1:" + std::to_string(port);
  return port == 0 ? u"" : std::u16string(address.begin(), address.end());
}

}  // namespace wrenfold::ui::testing
