// A fresh, empty folder under %TEMP% for a test, removed with everything in
// it when the test is done.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cctype>
#include <string>

#include "child_process.h"

namespace kwtest {

class TempFolder {
 public:
  // %TEMP%\kwtest-<tag>-<process id>-<count>: unique among the test programs
  // running side by side.
  explicit TempFolder(const std::wstring& tag) {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"kwtest-" + tag + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(counter++);
    RemoveTree(path_);  // left over by a run that ended early
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() { RemoveTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Get() const { return path_; }
  std::wstring Path(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// The running test's suite name, usable in a file name.
inline std::wstring SuiteTag() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  std::wstring tag;
  for (const char* c = test ? test->test_suite_name() : "test"; *c; ++c)
    tag += (isalnum(static_cast<unsigned char>(*c)) || *c == '_') ? static_cast<wchar_t>(*c) : L'-';
  return tag;
}

// Gives every test of a fixture a fresh folder of its own (`folder`), named
// after the suite; it goes after TearDown and the derived fixture's members,
// so whatever those hold in it is released first.
template <class Base>
class WithTempFolder : public Base {
 protected:
  std::wstring Path(const std::wstring& relative) const { return temp_.Path(relative); }

 private:
  TempFolder temp_{SuiteTag()};

 protected:
  const std::wstring& folder = temp_.Get();
};

using TempFolderTest = WithTempFolder<testing::Test>;

}  // namespace kwtest
