// The window run: the skinned install dialog drives the installation.
#pragma once
#include <windows.h>

#include <string>

namespace kw {

void RunWindowed(HINSTANCE instance, int appId, const std::wstring& tempLogPath);

}  // namespace kw
