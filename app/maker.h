// The maker's addresses, set at build time (see the top-level CMakeLists.txt).
#pragma once

namespace dimlux {

constexpr const char* kReadmeUrl = DIMLUX_README_URL;
constexpr const char* kSupportEmail = DIMLUX_SUPPORT_EMAIL;

}  // namespace dimlux
