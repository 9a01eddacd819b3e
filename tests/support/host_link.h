// Links made by the host under Wine: a Unix symbolic link is what Wine shows
// as a reparse point (a folder link or junction), and a link in the prefix's
// "dosdevices" folder is a drive letter. Wine makes no links itself and
// cannot remove them either, so the host does both.
#pragma once
#include <windows.h>

#include <string>

#include "child_process.h"

namespace kwtest {

class HostLink {
 public:
  // A link at `link` (a Windows path) to the folder `target`.
  HostLink(const std::wstring& link, const std::wstring& target) : link_(link) {
    if (toUnix_) Host(L"Z:\\bin\\ln", L"ln -sT " + Unix(target) + L" " + Unix(link), true);
  }
  ~HostLink() {
    if (Made()) Host(L"Z:\\bin\\rm", L"rm " + Unix(link_), false);
  }
  HostLink(const HostLink&) = delete;
  HostLink& operator=(const HostLink&) = delete;

  bool UnderWine() const { return toUnix_ != nullptr; }
  bool Made() const { return GetFileAttributesW(link_.c_str()) != INVALID_FILE_ATTRIBUTES; }

 protected:
  struct Drive {};
  // A drive letter: the link goes into the prefix's dosdevices folder.
  HostLink(Drive, wchar_t letter, const std::wstring& target) : link_(std::wstring(1, letter) + L":\\") {
    if (!toUnix_) return;
    std::wstring devices = Unix(L"C:\\");  // "\".../dosdevices/c:/\""
    const std::size_t at = devices.rfind(L"/c:");
    if (at == std::wstring::npos) return;
    devices.resize(at + 1);
    unixLink_ = devices + static_cast<wchar_t>(letter | 0x20) + L":\"";  // Wine's names are lower case
    Host(L"Z:\\bin\\ln", L"ln -sT " + Unix(target) + L" " + unixLink_, true);
  }
  std::wstring unixLink_;

 private:
  std::wstring Unix(const std::wstring& path) const {
    if (!unixLink_.empty() && path == link_) return unixLink_;
    char* unix = toUnix_(path.c_str());
    if (!unix) return {};
    const std::string text = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return L"\"" + std::wstring(text.begin(), text.end()) + L"\"";
  }
  // A host process cannot be waited for: watch for its result instead.
  void Host(const wchar_t* program, std::wstring command, bool linkExpected) const {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
      return;
    const ProcessHandles started(process);
    for (int i = 0; i < 100 && Made() != linkExpected; ++i) Sleep(50);
  }

  using ToUnix = char*(CDECL*)(const wchar_t*);
  const ToUnix toUnix_ = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  std::wstring link_;
};

// A drive letter whose root is `target`, for as long as this lives: the
// first letter from Q on that is free.
class HostDrive : public HostLink {
 public:
  explicit HostDrive(const std::wstring& target, wchar_t letter = FreeLetter())
      : HostLink(Drive{}, letter, target), letter_(letter) {}
  std::wstring Letter() const { return std::wstring(1, letter_) + L":"; }
  std::wstring Root() const { return Letter() + L"\\"; }

 private:
  static wchar_t FreeLetter() {
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter)
      if (!(used & (1u << (letter - L'A')))) return letter;
    return L'Y';
  }
  wchar_t letter_;
};

}  // namespace kwtest
