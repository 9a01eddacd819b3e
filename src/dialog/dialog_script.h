// The window thread's access to the script globals. It never waits for the
// script state: a read takes the lock only when it is free (and answers the
// missing value's "", false or 0 otherwise, with a trace); a write is posted
// to DeferredGlobals, which applies it at once or after the running event.
#pragma once
#include <string>

namespace kw {

class DialogScript {
 public:
  static std::wstring ReadString(const char* name);
  static bool ReadBool(const char* name);
  static long ReadInteger(const char* name);

  static void Write(const std::string& name, const std::wstring& value);
  static void Write(const std::string& name, bool value);
  static void Write(const std::string& name, double value);
  // Applies what is still queued if the state is free.
  static bool Flush();
};

}  // namespace kw
