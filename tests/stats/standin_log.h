// The stand-in libraries' call log: one "<call> tid=<thread id>" line each.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kwtest {

struct Call {
  std::string text;  // the entry point and its arguments
  DWORD threadId = 0;
};

std::vector<Call> ReadCalls(const std::wstring& path);
std::vector<std::string> CallTexts(const std::vector<Call>& calls);

}  // namespace kwtest
