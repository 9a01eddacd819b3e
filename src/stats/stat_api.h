// The entry points of the statistics library rbstat.dll, all __stdcall and
// looked up by name. Every argument travels as one 32-bit value.
#pragma once
#include <windows.h>

#include "core/handles.h"

namespace kw {

// X(name, result, parameters), in the library's table order.
#define KW_STAT_ENTRY_POINTS(X)                                                 \
  X(stat_init, bool, ())                                                        \
  X(stat_proxy, void, (const char* host, DWORD port))                           \
  X(stat_dispatch_addr, void, (const char* host, DWORD port))                   \
  X(stat_online_addr, void, (const char* host, DWORD port))                     \
  X(stat_action_addr, void, (const char* host, DWORD port))                     \
  X(stat_install_addr, void, (const char* host, DWORD port))                    \
  X(stat_loginout_addr, void, (const char* host, DWORD port))                   \
  X(stat_unionid, void, (DWORD unionId))                                        \
  X(stat_appid, void, (DWORD appIdLowByte))                                     \
  X(stat_level, void, (DWORD level))                                            \
  X(stat_version, void, (DWORD version))                                        \
  X(stat_version_ex, void, (DWORD major, DWORD minor, DWORD build, DWORD revision)) \
  X(stat_online, void, ())                                                      \
  X(stat_offline, void, ())                                                     \
  X(stat_action, void, (DWORD actionId))                                        \
  X(stat_mutilaction, void, (const DWORD* actionIds, DWORD count, DWORD flags)) \
  X(stat_install, int, (DWORD event))                                           \
  X(stat_close, void, (DWORD reason))                                           \
  X(stat_app_install, int, (DWORD event))                                       \
  X(stat_http_post, int, (const char* address, const char* body, DWORD length, BOOL flag))

struct StatApi {
#define KW_STAT_FIELD(name, result, parameters) \
  using name##_fn = result(WINAPI*) parameters;  \
  name##_fn name = nullptr;
  KW_STAT_ENTRY_POINTS(KW_STAT_FIELD)
#undef KW_STAT_FIELD
  UniqueModule library;  // empty when not loaded
};

}  // namespace kw
