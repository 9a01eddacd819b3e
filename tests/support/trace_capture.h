// Collects the debug-trace lines this process writes while it lives, without
// a debugger: OutputDebugString raises a first-chance exception that a
// vectored handler sees before the system's own handler swallows it.
#pragma once
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace kwtest {

class TraceCapture {
 public:
  TraceCapture() {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().clear();
    handler_ = AddVectoredExceptionHandler(1, &OnException);
  }
  ~TraceCapture() { RemoveVectoredExceptionHandler(handler_); }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::vector<std::wstring> Take() {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::wstring> lines;
    lines.swap(Lines());
    return lines;
  }

 private:
  static constexpr DWORD kWidePrint = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<std::wstring>& Lines() {
    static std::vector<std::wstring> lines;
    return lines;
  }

  static LONG CALLBACK OnException(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    if (record.NumberParameters < 2 || !record.ExceptionInformation[1]) return EXCEPTION_CONTINUE_SEARCH;
    // Where the wide form exists, the system repeats an unanswered one in the
    // narrow form: keep only the first.
    static thread_local bool afterWide = false;
    std::wstring text;
    if (record.ExceptionCode == kWidePrint) {
      afterWide = true;
      text = reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]);
    } else if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
      if (afterWide) {
        afterWide = false;
        return EXCEPTION_CONTINUE_SEARCH;
      }
      // Only this form exists where the wide one is not raised; it carries the
      // text in the ANSI code page.
      const char* narrow = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
      const int units = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
      if (units > 0) {
        text.resize(static_cast<std::size_t>(units));
        MultiByteToWideChar(CP_ACP, 0, narrow, -1, text.data(), units);
        text.pop_back();
      }
    } else {
      return EXCEPTION_CONTINUE_SEARCH;
    }
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().push_back(text);
    return EXCEPTION_CONTINUE_SEARCH;
  }

  PVOID handler_ = nullptr;
};

}  // namespace kwtest
