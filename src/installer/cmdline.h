// The installer's own command-line options: "/Name value" pairs.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace kw {

class CCmdLineParser {
 public:
  explicit CCmdLineParser(std::wstring commandLine);

  // Clears `value`; true when `name` was given (possibly with an empty value).
  bool GetValue(const std::wstring& name, std::wstring& value) const;

  const std::wstring& CommandLine() const { return commandLine_; }

 private:
  std::wstring commandLine_;
  std::map<std::wstring, std::wstring> options_;  // names are case-sensitive
};

// Unsigned decimal conversion of a window-handle option: digits after optional
// blanks and sign, non-digits end it, none gives 0, beyond 32 bits 0xFFFFFFFF.
std::uint32_t ParseHandleValue(const std::wstring& text);

}  // namespace kw
