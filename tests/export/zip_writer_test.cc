#include "export/zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/export/export_test_support.h"
#include "tests/export/zip_check.h"

namespace {

/// The archive of `parts` (name, bytes), each appended in pieces of `piece` bytes.
std::string Zip(const std::vector<ZipMember>& parts, size_t piece = 1000, uint64_t limit = ZipWriter::kMaxZip32) {
  StringSink sink;
  ZipWriter zip(sink, 1, limit);
  std::string err;
  for (const ZipMember& part : parts) {
    if (!zip.Begin(part.name, &err)) return "<begin failed: " + err + ">";
    for (size_t at = 0; at < part.data.size(); at += piece) {
      if (!zip.Append(std::string_view(part.data).substr(at, piece), &err)) return "<append failed: " + err + ">";
    }
    if (!zip.End(&err)) return "<end failed: " + err + ">";
  }
  if (!zip.Finish(&err)) return "<finish failed: " + err + ">";
  return sink.bytes;
}

std::string RandomBytes(size_t n) {
  std::mt19937 rng(7);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(ZipWriter, MembersReadBackWithTheirCrcAndSizes) {
  // Incompressible data bigger than the first compression buffer, an empty
  // member, and a long compressible one fed in odd pieces.
  std::string xml;
  for (int i = 0; i < 20000; ++i) xml += "<c r=\"A" + std::to_string(i) + "\"><v>" + std::to_string(i * 7) + "</v></c>";
  std::vector<ZipMember> parts = {{"noise.bin", RandomBytes(300000)}, {"empty", ""}, {"a/b/sheet.xml", xml}};
  std::string zip = Zip(parts, 777);
  std::vector<ZipMember> members;
  ASSERT_EQ(ReadZip(zip, &members), "");
  ASSERT_EQ(members.size(), parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_EQ(members[i].name, parts[i].name);
    EXPECT_TRUE(members[i].data == parts[i].data) << parts[i].name;
  }
  EXPECT_LT(zip.size(), 300000 + xml.size() / 4);  // the XML really is compressed
  // Equal contents give equal bytes, however they were cut.
  EXPECT_EQ(Zip(parts, 65536), zip);
  // An archive without members is the end record alone.
  EXPECT_EQ(Zip({}), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
}

TEST(ZipWriter, RefusesWhatWouldNeedZip64) {
  // The real limit is 4 GiB; a lowered one shows each check without writing that much.
  std::string err;
  {
    StringSink sink;
    ZipWriter zip(sink, 1, 1000);
    ASSERT_TRUE(zip.Begin("big", &err));
    EXPECT_TRUE(zip.Append(std::string(600, 'x'), &err));
    EXPECT_FALSE(zip.Append(std::string(401, 'x'), &err));
    EXPECT_NE(err.find("ZIP64"), std::string::npos) << err;
    // Once failed, the archive stays failed and says why.
    EXPECT_FALSE(zip.End(&err));
    EXPECT_FALSE(zip.Finish(&err));
    EXPECT_NE(err.find("ZIP64"), std::string::npos) << err;
  }
  // Data that compresses badly outgrows the limit compressed.
  EXPECT_NE(Zip({{"noise", RandomBytes(998)}}, 1000, 1000).find("<end failed"), std::string::npos);
  // Members that each fit, but one starts beyond the limit, or the directory ends beyond it.
  std::string third = Zip({{"a", RandomBytes(600)}, {"b", RandomBytes(600)}, {"c", RandomBytes(600)}}, 1000, 1000);
  EXPECT_NE(third.find("<end failed"), std::string::npos) << third;
  EXPECT_NE(third.find("ZIP64"), std::string::npos) << third;
  EXPECT_NE(Zip({{"a", RandomBytes(950)}}, 1000, 1000).find("<finish failed"), std::string::npos);
  EXPECT_EQ(Zip({{"a", RandomBytes(950)}}, 1000, 2000).substr(0, 2), "PK");
}

TEST(ZipWriter, SinkFailuresAreReportedAndEndTheArchive) {
  std::vector<ZipMember> parts = {{"one", RandomBytes(5000)}, {"two", RandomBytes(5000)}};
  const size_t whole = Zip(parts).size();
  for (size_t limit : {size_t{0}, size_t{20}, size_t{5100}, whole - 1}) {
    FailingSink sink(limit);
    ZipWriter zip(sink, 1);
    std::string err;
    bool ok = true;
    for (const ZipMember& part : parts) ok = ok && zip.Begin(part.name, &err) && zip.Append(part.data, &err) && zip.End(&err);
    ok = zip.Finish(&err) && ok;
    EXPECT_FALSE(ok) << limit;
    EXPECT_EQ(err, "No space left on device") << limit;
    EXPECT_EQ(sink.failures, 1) << limit;
  }
}

TEST(ZipWriter, MisuseIsAnErrorNotABrokenArchive) {
  StringSink sink;
  std::string err;
  ZipWriter outside(sink, 1);
  EXPECT_FALSE(outside.Append("x", &err));
  ZipWriter nested(sink, 1);
  ASSERT_TRUE(nested.Begin("a", &err));
  EXPECT_FALSE(nested.Begin("b", &err));
  ZipWriter unended(sink, 1);
  ASSERT_TRUE(unended.Begin("a", &err));
  EXPECT_FALSE(unended.Finish(&err));
  ZipWriter unnamed(sink, 1);
  EXPECT_FALSE(unnamed.Begin("", &err));
}

}  // namespace
