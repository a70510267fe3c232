// The atomic file on every system: what it writes appears whole under its
// final name or not at all, and an existing file is never replaced.

#include "platform/atomic_file.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST(AtomicFile, CommitsWholeAndNeverReplacesAnExistingFile) {
  TempDir dir;
  const std::string path = dir / "report.txt";
  std::string err;
  AtomicFile file;
  ASSERT_TRUE(file.Open(path, &err)) << err;
  // Larger than the buffer, so it reaches the disk in several writes.
  const std::string big(200000, 'x');
  ASSERT_TRUE(file.Write(big.data(), big.size(), &err)) << err;
  ASSERT_TRUE(file.Write("end", 3, &err)) << err;
  EXPECT_FALSE(PathExists(path));  // nothing under the final name before the commit
  ASSERT_TRUE(file.Commit(false, &err)) << err;
  EXPECT_EQ(ReadFileBytes(path), big + "end");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"report.txt"});

  // A second commit to the same name is refused and leaves both the file
  // and the folder as they were; a replacing write is the one that may.
  ASSERT_TRUE(file.Open(path, &err)) << err;
  ASSERT_TRUE(file.Write("second", 6, &err));
  EXPECT_FALSE(file.Commit(false, &err));
  EXPECT_EQ(err.rfind("cannot create file: ", 0), 0u) << err;
  EXPECT_EQ(ReadFileBytes(path), big + "end");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"report.txt"});
  EXPECT_TRUE(WriteFileAtomically(path, "third", &err)) << err;
  EXPECT_EQ(ReadFileBytes(path), "third");

  // Abandoned or never opened: no file is left, and no write is taken.
  ASSERT_TRUE(file.Open(dir / "other.txt", &err));
  file.Abandon();
  EXPECT_FALSE(file.Write("x", 1, &err));
  EXPECT_FALSE(file.Commit(false, &err));
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"report.txt"});
  EXPECT_FALSE(file.Open(dir / "missing" + kPathSeparator + "x.txt", &err));
  EXPECT_FALSE(err.empty());
}

TEST(AtomicFile, TempNamesAreReadBack) {
  AtomicTempName t;
  ASSERT_TRUE(ParseAtomicTempName("26_12_06_01_15_23.xls" + AtomicTempInfix() + "x9Yz01", &t));
  EXPECT_EQ(t.finalName, "26_12_06_01_15_23.xls");
  EXPECT_EQ(t.machine, MachineName());
  EXPECT_EQ(t.pid, CurrentProcessId());
  ASSERT_TRUE(ParseAtomicTempName("a-b.txt.tmp-lab.example-42-1f", &t));
  EXPECT_EQ(t.finalName, "a-b.txt");
  EXPECT_EQ(t.machine, "lab.example");
  EXPECT_EQ(t.pid, 42u);
  for (const char* other : {"26_12_06.xls", ".tmp-host-1-x", "a.xls.tmp-host-12", "a.xls.tmp-host--x",
                            "a.xls.tmp-host-1x-y", "a.xls.tmp--1-y", "a.xls.tmp-host-1-"})
    EXPECT_FALSE(ParseAtomicTempName(other, &t)) << other;

  // The temporary file of an open AtomicFile carries such a name.
  TempDir dir;
  AtomicFile file;
  std::string err;
  ASSERT_TRUE(file.Open(dir / "r.xls", &err)) << err;
  std::vector<std::string> names = Names(dir.path());
  ASSERT_EQ(names.size(), 1u);
  ASSERT_TRUE(ParseAtomicTempName(names[0], &t)) << names[0];
  EXPECT_EQ(t.finalName, "r.xls");
  EXPECT_EQ(t.pid, CurrentProcessId());
}

}  // namespace
