// The settings-file parser and writer of POSIX systems (Windows has the
// system's private-profile calls), and what it does with a file another
// user may not read.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "tests/test_support.h"

namespace {

// `text` as UTF-16 with its byte-order mark.
std::string Utf16(std::u16string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t c : text) {
    char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

TEST(IniFile, FilesAsNotepadSavesThemAreReadAndWrittenAsText) {
  TempDir dir;
  const std::string path = dir / "Kestrel.ini";
  // A root in Latin and beyond the 16-bit range (a surrogate pair in UTF-16).
  const std::string root = "/data/M\xC3\xBCller \xF0\x9F\x94\xAC";
  const std::u16string text = u"[Kestrel]\r\nDevType=6480\r\n6480_Root=/data/M\u00FCller \U0001F52C\r\n";
  const struct {
    const char* name;
    std::string bytes;
  } files[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF[Kestrel]\r\nDevType=6480\r\n6480_Root=" + root + "\r\n"},
      {"UTF-16 little-endian", Utf16(text, false)},
      {"UTF-16 big-endian", Utf16(text, true)},
  };
  for (const auto& f : files) {
    WriteFileBytes(path, f.bytes);
    std::string v, err;
    EXPECT_EQ(IniFileProblem(path, "Kestrel"), "") << f.name;
    EXPECT_TRUE(IniRead(path, "Kestrel", "DevType", &v) && v == "6480") << f.name << ": " << v;
    EXPECT_TRUE(IniRead(path, "Kestrel", "6480_Root", &v) && v == root) << f.name << ": " << v;
    // Written back in UTF-8 with its mark, every other line kept.
    ASSERT_TRUE(IniWrite(path, "Kestrel", "ComPort", "ttyUSB2", &err)) << f.name << ": " << err;
    EXPECT_EQ(ReadFileBytes(path),
              "\xEF\xBB\xBF[Kestrel]\r\nDevType=6480\r\n6480_Root=" + root + "\r\nComPort=ttyUSB2\r\n")
        << f.name;
  }
}

TEST(IniFile, AFileThatCannotBeReadAsSettingsIsToldAndNeverReplaced) {
  TempDir dir;
  const std::string path = dir / "Kestrel.ini";
  static const char kElf[] = "\x7F" "ELF\x02\x01\x01\0\0[Kestrel]\nDevType=6480\n";
  const struct {
    const char* name;
    std::string bytes;  // empty: a folder stands at the path
    std::string told;
    bool written;  // a key can still be written to it
  } files[] = {
      {"a folder", "", "cannot read " + path + ": Is a directory", false},
      {"binary", std::string(kElf, sizeof kElf - 1), " is not text: it holds NUL bytes", false},
      {"UTF-16 without its mark", Utf16(u"[Kestrel]\r\nDevType=6480\r\n", false).substr(2),
       " is not text: it holds NUL bytes", false},
      {"no section of ours", "[Other]\nDevType=6480\n", " holds no [Kestrel] section", true},
  };
  for (const auto& f : files) {
    if (f.bytes.empty()) {
      ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    } else {
      WriteFileBytes(path, f.bytes);
    }
    std::string v, err;
    std::string problem = IniFileProblem(path, "Kestrel");
    EXPECT_NE(problem.find(f.told), std::string::npos) << f.name << ": " << problem;
    EXPECT_NE(problem.find(path), std::string::npos) << f.name << ": " << problem;
    EXPECT_NE(problem.find("none of its settings is used"), std::string::npos) << f.name << ": " << problem;
    EXPECT_FALSE(IniRead(path, "Kestrel", "DevType", &v)) << f.name;
    EXPECT_EQ(IniWrite(path, "Kestrel", "ComPort", "ttyUSB1", &err), f.written) << f.name;
    if (f.bytes.empty()) {
      ::rmdir(path.c_str());
    } else if (!f.written) {
      EXPECT_EQ(ReadFileBytes(path), f.bytes) << f.name;
      EXPECT_NE(err.find(path), std::string::npos) << f.name << ": " << err;
    }
  }
  ::unlink(path.c_str());
  EXPECT_EQ(IniFileProblem(path, "Kestrel"), "");
}

TEST(IniFile, AFileFarLargerThanSettingsIsReadOnlyUpToTheLimitAndWrittenWhole) {
  TempDir dir;
  const std::string path = dir / "Kestrel.ini";
  std::string bytes = "[Kestrel]\nDevType=6480\n";
  while (bytes.size() + 100 < kIniReadLimit) bytes += "; " + std::string(60, 'x') + "\n";
  bytes += ";" + std::string(kIniReadLimit - 20 - bytes.size() - 2, 'x') + "\n";
  // A line the limit falls into is not taken cut short.
  bytes += "6480_Root=/data/" + std::string(40, 'r') + "\n";
  bytes += std::string(kIniReadLimit, '\n') + "ComPort=ttyUSB7\n";
  WriteFileBytes(path, bytes);
  std::string v, err;
  EXPECT_TRUE(IniRead(path, "Kestrel", "DevType", &v) && v == "6480") << v;
  EXPECT_FALSE(IniRead(path, "Kestrel", "6480_Root", &v)) << v;
  EXPECT_FALSE(IniRead(path, "Kestrel", "ComPort", &v));
  EXPECT_EQ(IniFileProblem(path, "Kestrel"),
            "The settings file " + path + " is " + std::to_string(bytes.size()) +
                " bytes long, far more than settings take: only its first 1048576 bytes are read, and "
                "settings past them are not used");
  ASSERT_TRUE(IniWrite(path, "Kestrel", "DevType", "6120", &err)) << err;
  std::string after = ReadFileBytes(path);
  EXPECT_EQ(after.size(), bytes.size());
  EXPECT_TRUE(after.ends_with("ComPort=ttyUSB7\n"));
}


TEST(IniFile, ReadsKeysOfTheRightSectionIgnoringCaseAndBlanks) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFileBytes(path,
                 "; comment\r\n"
                 "[Other]\r\nComPort=COM9\r\n"
                 "[ kestrel ]\r\n  comport =  COM3  \r\nEmpty=\r\nQuoted=\" spaced \"\r\n"
                 "garbage line without equals\r\n=novalue\r\n");
  std::string v;
  ASSERT_TRUE(IniRead(path, "Kestrel", "ComPort", &v));
  EXPECT_EQ(v, "COM3");
  ASSERT_TRUE(IniRead(path, "Kestrel", "Empty", &v));
  EXPECT_EQ(v, "");
  ASSERT_TRUE(IniRead(path, "Kestrel", "Quoted", &v));
  EXPECT_EQ(v, " spaced ");
  EXPECT_FALSE(IniRead(path, "Kestrel", "Missing", &v));
  EXPECT_FALSE(IniRead(path, "Nowhere", "ComPort", &v));
  EXPECT_FALSE(IniRead(dir / "absent.ini", "Kestrel", "ComPort", &v));
}

TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  TempDir dir;
  std::string path = dir / "a.ini";
  const std::string before =
      "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\nDevType=6310\r\n\r\n[Other]\r\nX=1\r\n";
  WriteFileBytes(path, before);

  ASSERT_TRUE(IniWrite(path, "Kestrel", "devtype", "6350", nullptr));
  EXPECT_EQ(ReadFileBytes(path),
            "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\ndevtype=6350\r\n\r\n[Other]\r\nX=1\r\n");

  // A new key goes at the end of its section, before the blank line.
  ASSERT_TRUE(IniWrite(path, "Kestrel", "6350_Root", "/data/6350", nullptr));
  EXPECT_EQ(ReadFileBytes(path),
            "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\ndevtype=6350\r\n6350_Root=/data/6350\r\n"
            "\r\n[Other]\r\nX=1\r\n");

  // A new section goes at the end of the file.
  ASSERT_TRUE(IniWrite(path, "Glimmer", "ComPort", "COM2", nullptr));
  std::string v;
  ASSERT_TRUE(IniRead(path, "Glimmer", "ComPort", &v));
  EXPECT_EQ(v, "COM2");
  ASSERT_TRUE(IniRead(path, "Other", "X", &v));
  EXPECT_EQ(v, "1");
}

TEST(IniFile, CreatesAMissingFileAndReportsAnUnwritableOne) {
  TempDir dir;
  std::string path = dir / "new.ini";
  ASSERT_TRUE(IniWrite(path, "Kestrel", "ComPort", "ttyUSB1", nullptr));
  EXPECT_EQ(ReadFileBytes(path), "[Kestrel]\nComPort=ttyUSB1\n");

  // A folder that cannot exist: its parent is a plain file.
  WriteFileBytes(dir / "plain", "x");
  std::string err;
  EXPECT_FALSE(IniWrite(dir / "plain/sub.ini", "Kestrel", "ComPort", "x", &err));
  EXPECT_NE(err.find("Not a directory"), std::string::npos) << err;
}


TEST(IniFile, AFileThatCannotBeReadIsNeverReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  TempDir dir;
  // Anyone may create files in the folder, but the settings file is
  // closed to the user who writes.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  std::string path = dir / "Kestrel.ini";
  const std::string settings = "[Kestrel]\nComPort=ttyUSB3\nDevType=6120\n";
  WriteFileBytes(path, settings);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    std::string err;
    bool refused = !IniWrite(path, "Kestrel", "ComPort", "ttyUSB0", &err) &&
                   err.find("Permission denied") != std::string::npos &&
                   IniFileProblem(path, "Kestrel") == "The settings file cannot be read (cannot open " + path +
                                                         ": Permission denied), so none of its settings is used";
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFileBytes(path), settings);
}

}  // namespace
