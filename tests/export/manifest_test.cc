#include "export/manifest.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/sha256.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

std::vector<std::string> Texts(const std::vector<ManifestFinding>& findings) {
  std::vector<std::string> texts;
  for (const ManifestFinding& finding : findings) texts.push_back(FindingText(finding));
  return texts;
}

std::vector<std::string> ManifestLines(const std::string& root) {
  std::vector<std::string> lines;
  std::string data = ReadFileBytes(ManifestPath(root)), line;
  for (char c : data) {
    if (c != '\n') {
      line += c;
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// A report of one .txt below `root` (and more files given whole).
ManifestEntry Report(const std::string& root, const std::string& base, std::vector<std::string> extra = {}) {
  MakeDirectories(root + kPathSeparator + "Text");
  std::string txt = root + kPathSeparator + "Text" + kPathSeparator + base + ".txt";
  WriteFileBytes(txt, "lines of " + base + "\r\n");
  ManifestEntry entry;
  entry.root = root;
  entry.report = base;
  entry.model = 6310;
  entry.lines = 1;
  entry.files = {txt};
  for (std::string& path : extra) entry.files.push_back(std::move(path));
  return entry;
}

TEST(Manifest, LinesAreChainedAndNameTheFilesWithTheirHashes) {
  TempDir dir;
  const std::string root = dir / "root", elsewhere = dir / "unsaved.txt";
  WriteFileBytes(elsewhere, "abc");
  std::string err;
  ASSERT_TRUE(AppendToManifest(Report(root, "a"), &err)) << err;
  ASSERT_TRUE(AppendToManifest(Report(root, "b", {elsewhere}), &err)) << err;
  std::vector<std::string> lines = ManifestLines(root);
  ASSERT_EQ(lines.size(), 2u);
  // The first line chains to nothing: the SHA-256 of no bytes.
  EXPECT_NE(lines[0].find("\"previous\":\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\""),
            std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("\"previous\":\"" + Sha256Hex(lines[0]) + "\""), std::string::npos) << lines[1];
  // Below the root relative with '/', elsewhere whole; the hash of "abc" is the known one.
  EXPECT_NE(lines[1].find("{\"name\":\"Text/b.txt\",\"size\":12,\"sha256\":\"" +
                          Sha256Hex("lines of b\r\n") + "\"}"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find(",\"size\":3,\"sha256\":\"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\""),
            std::string::npos) << lines[1];
  EXPECT_EQ(Texts(VerifyManifest(root)), (std::vector<std::string>{"ok a", "ok b"}));

  // A file that cannot be hashed leaves the manifest as it was.
  ManifestEntry gone = Report(root, "c", {dir / "absent.xls"});
  EXPECT_FALSE(AppendToManifest(gone, &err));
  EXPECT_NE(err.find("absent.xls"), std::string::npos) << err;
  EXPECT_EQ(ManifestLines(root).size(), 2u);
  EXPECT_EQ(Texts(VerifyManifest(root)), (std::vector<std::string>{"ok a", "ok b", "unrecorded Text/c.txt"}));
}

TEST(Manifest, AnAppendCutShortStaysInItsOwnLineAndTheChainGoesOn) {
  TempDir dir;
  const std::string root = dir / "root";
  std::string err;
  ASSERT_TRUE(AppendToManifest(Report(root, "a"), &err)) << err;
  std::string data = ReadFileBytes(ManifestPath(root));
  WriteFileBytes(ManifestPath(root), data + "{\"report\":\"b\",\"mo");
  ASSERT_TRUE(AppendToManifest(Report(root, "c"), &err)) << err;
  EXPECT_EQ(Texts(VerifyManifest(root)),
            (std::vector<std::string>{"ok a", "damaged line 2: not JSON", "ok c"}));
}

TEST(Manifest, AnyDamagedLineIsToldAndNeverStopsTheCheck) {
  const std::string good = R"({"report":"r","model":6310,"port":null,"stablePort":null,"firstLine":"t","endLine":"t",)"
                           R"("host":"h","user":"u","version":"v","lines":1,"files":[],"previous":")" +
                           Sha256Hex("") + "\"}";
  auto with = [&](const std::string& from, const std::string& to) {
    std::string line = good;
    return line.replace(line.find(from), from.size(), to);
  };
  const struct {
    std::string line;
    std::string why;
  } cases[] = {
      {"", "not JSON"},
      {"not json", "not JSON"},
      {"\"text\"", "not a JSON object"},
      {std::string(100000, '[') + std::string(100000, ']'), "not a JSON object"},
      {"{\"report\":\"\xff\xfe\"}", "not JSON"},
      {with("\"model\":6310,", ""), "no \"model\""},
      {with("\"report\":\"r\"", "\"report\":5"), "\"report\" is not as a manifest writes it"},
      {with("\"report\":\"r\"", "\"report\":\"\""), "\"report\" is empty"},
      {with("\"model\":6310", "\"model\":-1"), "\"model\" is not as a manifest writes it"},
      {with("\"lines\":1", "\"lines\":1.5"), "\"lines\" is not as a manifest writes it"},
      {with("\"files\":[]", "\"files\":{}"), "\"files\" is not as a manifest writes it"},
      {with("\"files\":[]", "\"files\":[{\"name\":\"x\",\"size\":\"1\",\"sha256\":\"" + Sha256Hex("") + "\"}]"),
       "\"files\" is not as a manifest writes it"},
      {with("\"files\":[]", "\"files\":[{\"name\":\"x\",\"size\":1,\"sha256\":\"ABC\"}]"),
       "\"files\" is not as a manifest writes it"},
      {with("\"files\":[]", "\"files\":[7]"), "\"files\" is not as a manifest writes it"},
      {with("\"previous\":\"", "\"previous\":\"0"), "\"previous\" is not as a manifest writes it"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string root = dir / "root";
    MakeDirectories(root + kPathSeparator + "Manifest");
    // The damaged line first, a good one after it, chained to it.
    std::string second = with("\"previous\":\"" + Sha256Hex(""), "\"previous\":\"" + Sha256Hex(c.line));
    WriteFileBytes(ManifestPath(root), c.line + "\n" + second + "\n");
    EXPECT_EQ(Texts(VerifyManifest(root)), (std::vector<std::string>{"damaged line 1: " + c.why, "ok r"}))
        << c.line.substr(0, 80);
  }
}

}  // namespace
