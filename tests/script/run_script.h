// A script run in-process, for the script tests: its exit status and what it
// printed.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "script/script.h"

namespace tarnlow::script::runs {

struct ScriptResult {
  int status;
  std::string out;
};

inline ScriptResult RunText(const std::string& source, const RunOptions& options = {}) {
  std::ostringstream out;
  const int status = RunSource(source, out, options);
  return {status, out.str()};
}

// What a script that must succeed printed.
inline std::string Output(const std::string& source, const RunOptions& options = {}) {
  const ScriptResult r = RunText(source, options);
  EXPECT_EQ(r.status, kExitOk) << r.out;
  return r.out;
}

}  // namespace tarnlow::script::runs
