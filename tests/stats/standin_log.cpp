#include "standin_log.h"

#include "child_process.h"

namespace kwtest {

std::vector<Call> ReadCalls(const std::wstring& path) {
  std::vector<Call> calls;
  const std::string bytes = ReadBytes(path);
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    const std::size_t tid = line.rfind(" tid=");
    if (tid != std::string::npos)
      calls.push_back({line.substr(0, tid), static_cast<DWORD>(std::stoul(line.substr(tid + 5)))});
    start = end + 1;
  }
  return calls;
}

std::vector<std::string> CallTexts(const std::vector<Call>& calls) {
  std::vector<std::string> texts;
  for (const Call& call : calls) texts.push_back(call.text);
  return texts;
}

}  // namespace kwtest
