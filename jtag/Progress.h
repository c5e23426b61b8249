// Progress shown on the host's status bar while a long routine runs. Records
// stack, so a nested progress leaves the outer one as it was.
#pragma once

#include <cstdint>
#include <string>

namespace arria5jtag {

// Status-bar codes of the progress display.
inline constexpr int32_t kProgressReset = -3;
inline constexpr int32_t kProgressMessage = -5;
inline constexpr int32_t kProgressStep = -7;
inline constexpr int32_t kProgressFinish = -6;
inline constexpr int32_t kProgressHide = -4;

void BeginProgress(const std::string& message, int64_t total);
void StepProgress();
void EndProgress();
// Records on the stack (tests).
size_t ProgressDepth();

} // namespace arria5jtag
