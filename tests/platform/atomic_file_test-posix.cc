// A device that fails mid-file: the file-size limit of the process, which
// fails a write as a full disk does.

#include "platform/atomic_file.h"

#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

TEST(AtomicFile, AFailingDeviceIsToldAndLeavesNoFileBehind) {
  IgnoreFileSizeLimitSignal();
  TempDir dir;
  const std::string path = dir / "report.xls";
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 100000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
  AtomicFile file;
  std::string err;
  bool opened = file.Open(path, &err);
  const std::string big(300000, 'x');
  bool written = opened && file.Write(big.data(), big.size(), &err) && file.Commit(false, &err);
  ::setrlimit(RLIMIT_FSIZE, &saved);

  ASSERT_TRUE(opened) << err;
  EXPECT_FALSE(written);
  EXPECT_EQ(err, std::string("write failed: ") + std::strerror(EFBIG));
  EXPECT_FALSE(PathExists(path));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // the temporary file went too
}

}  // namespace
