#include "core/log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include <spdlog/sinks/daily_file_sink.h>
#include <spdlog/spdlog.h>

#include "core/encoding.h"
#include "core/folder_walk.h"

namespace kw {

namespace {

constexpr std::size_t kLogPathUnits = MAX_PATH;

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  return local;
}

std::string_view FileNameOnly(std::string_view path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

CKWBaseLog& CKWBaseLog::Instance() {
  static CKWBaseLog instance;
  return instance;
}

CKWBaseLog::~CKWBaseLog() { logger_.reset(); }

std::string CKWBaseLog::TodaysLogName(const std::string& baseName) {
  const std::tm local = LocalNow();
  return fmt::format("{}_{}-{:02d}-{:02d}.log", baseName, local.tm_year + 1900, local.tm_mon + 1,
                     local.tm_mday);
}

void CKWBaseLog::DeleteOldLogs(const std::string& folder, const std::string& baseName) {
  const std::string today = TodaysLogName(baseName);
  // The paths come in the ANSI code page, as the log's own path does.
  const std::wstring wideFolder = ToWide(CP_ACP, folder);
  const std::wstring wideToday = ToWide(CP_ACP, today), wideBase = ToWide(CP_ACP, baseName);
  const bool listed = ForEachMatch(wideFolder + L"\\*.*", [&](const WIN32_FIND_DATAW& entry) {
    const std::wstring name = entry.cFileName;
    if (name == wideToday) return;
    if (name.substr(0, name.find(L'_')) == wideBase) DeleteFileW((wideFolder + L"\\" + name).c_str());
  });
  if (!listed) std::fputs("搜索失败!\n", stdout);
}

void CKWBaseLog::InitLogger(const char* ansiPath) {
  // The path must fit the fixed path buffer; a longer one is refused rather
  // than cut, so nothing is ever written to a different place.
  if (!ansiPath || std::strlen(ansiPath) >= kLogPathUnits) {
    OutputDebugStringA("InitLogger: log path too long, logging is off");
    return;
  }
  const std::string path = ansiPath;
  const auto slash = path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
  std::string baseName = slash == std::string::npos ? path : path.substr(slash + 1);
  if (const auto dot = baseName.rfind('.'); dot != std::string::npos && dot > 0) baseName.resize(dot);

  DeleteOldLogs(folder, baseName);

  try {
    auto sink = std::make_shared<spdlog::sinks::daily_file_sink_mt>(path, 23, 59, false);
    auto logger = std::make_shared<spdlog::logger>("both", std::move(sink));
    logger_ = logger;
    spdlog::set_default_logger(logger);
    logger->set_level(spdlog::level::info);
    logger->set_pattern("[%Y-%m-%d %H:%M:%S.%e] [%^%l%$] [%t] %v", spdlog::pattern_time_type::local);
    logger->flush_on(spdlog::level::info);
  } catch (const spdlog::spdlog_ex& e) {
    logger_.reset();
    OutputDebugStringA(e.what());
  } catch (...) {
    logger_.reset();
    OutputDebugStringA("Unknown exception in InitLogger");
  }
}

void CKWBaseLog::WriteInfo(const char* sourceFile, const char* function, int line,
                           fmt::string_view format, fmt::format_args args) {
  try {
    std::string text = fmt::format("[{} {}: {}] ", FileNameOnly(sourceFile), function, line);
    text += fmt::vformat(format, args);
    logger_->info(text);
  } catch (...) {
    // A bad format in a log line must never take the installer down.
  }
}

}  // namespace kw
