#pragma once

#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "export/report_export.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "platform/platform.h"
#include "tests/test_support.h"

/// The user's folders in a temporary folder, with the exports going below root().
class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeDirectory(root());
    target_ = TargetBelow(root());
  }
  std::string root() const { return env_.dir() / "root"; }
  /// The Text and Excel folders below `root`, in the .xls format alone.
  static ExportTarget TargetBelow(const std::string& root) {
    return ExportTarget{root + kPathSeparator + "Text", root + kPathSeparator + "Excel", ExportFormats{}};
  }
  std::string unsaved() const {
    std::string folder, err;
    UnsavedReportsFolder(&folder, &err);
    return folder;
  }
  std::string excel(const std::string& name) const { return root() + kPathSeparator + "Excel" + kPathSeparator + name; }
  std::string text(const std::string& name) const { return root() + kPathSeparator + "Text" + kPathSeparator + name; }

  /// Names of the files in a folder (none when it does not exist).
  static std::set<std::string> Files(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
      names.insert(it->path().filename().string());
    return names;
  }

  IsolatedSettings env_;
  ExportTarget target_;
  RecordingNoticeSink notices_;
  std::tm time_ = MakeLocalTime(2026, 12, 6, 1, 15, 23);
};

