// Runs script code in the installer's one engine, failing the test if it
// does not load or run.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "script/engine.h"

namespace kwtest {

inline void RunScript(const std::string& code) {
  ASSERT_TRUE(kw::QRVScriptEngine::Instance().DoBuffer(code.data(), code.size(), "test")) << code;
}

}  // namespace kwtest
