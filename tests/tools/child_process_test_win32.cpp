// A start that fails leaves no handle open: mervd starts children for as
// long as it runs.
#include "tools/mervfleet/child_process.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <system_error>

#include "test_support.h"

namespace {

// The handles open in this process, each value asked for. GetProcessHandleCount
// would say the same on Windows, but wine's always says 0.
int OpenHandles() {
  constexpr std::uintptr_t HighestValue = 1u << 16;
  int open = 0;
  for (std::uintptr_t value = 4; value < HighestValue; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++open;
  }
  return open;
}

struct FailingStart {
  const char* what;
  TChildStart start;
};

TEST(ChildProcess, FailingStartsLeaveNoHandleOpen) {
  constexpr int Starts = 200;
  TempDir folder;
  const std::string program = (folder / "absent.exe").string();
  const std::string notUtf8 = "caf\xE9";
  const FailingStart cases[] = {
      {"a program that is not there", {program, {}, {}, {}, true}},
      {"a program name that is not UTF-8", {program + notUtf8, {}, {}, {}, true}},
      {"a working folder that is not UTF-8", {program, {}, folder.path().string() + "\\" + notUtf8, {}, true}},
      {"an environment value that is not UTF-8", {program, {}, {}, {{"MERV_TEST", notUtf8}}, true}},
      {"without kept output", {program + notUtf8, {}, {}, {}, false}},
  };
  for (const auto& failing : cases) {
    EXPECT_THROW(TChildProcess{failing.start}, std::system_error) << failing.what;  // a first start loads what it needs
    const int before = OpenHandles();
    for (int start = 0; start < Starts; ++start) {
      EXPECT_THROW(TChildProcess{failing.start}, std::system_error) << failing.what;
    }
    EXPECT_EQ(OpenHandles(), before) << failing.what;
  }
}

}  // namespace
