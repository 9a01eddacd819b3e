// The installer's log file: one daily file in the temporary folder, written
// through spdlog. Only a few milestones go here; diagnostics are traces.
#pragma once
#include <memory>
#include <string>
#include <string_view>

#include <fmt/core.h>

namespace spdlog { class logger; }

namespace kw {

class CKWBaseLog {
 public:
  static CKWBaseLog& Instance();
  virtual ~CKWBaseLog();

  // path: ANSI code page, e.g. "%TEMP%\Install.log". Dated files are written
  // beside it ("Install_YYYY-MM-DD.log"); earlier dated files are deleted.
  // On any failure logging stays off for the rest of the process.
  void InitLogger(const char* ansiPath);

  bool HasLogger() const { return static_cast<bool>(logger_); }

  // One information line: "[file function: line] " + the formatted message.
  // Dropped while there is no logger.
  template <class... Args>
  void LogInfo(const char* sourceFile, const char* function, int line, fmt::string_view format,
               const Args&... args) {
    if (logger_) WriteInfo(sourceFile, function, line, format, fmt::make_format_args(args...));
  }

  // Deletes base + "_*" and plain `base` files in folder, except today's log.
  static void DeleteOldLogs(const std::string& folder, const std::string& baseName);

  // "Install_2026-12-09.log" for base "Install" (local date).
  static std::string TodaysLogName(const std::string& baseName);

 private:
  CKWBaseLog() = default;
  void WriteInfo(const char* sourceFile, const char* function, int line, fmt::string_view format,
                 fmt::format_args args);

  std::shared_ptr<spdlog::logger> logger_;
};

}  // namespace kw

#define KW_LOG_INFO(...) ::kw::CKWBaseLog::Instance().LogInfo(__FILE__, __func__, __LINE__, __VA_ARGS__)
