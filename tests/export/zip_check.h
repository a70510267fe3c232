#pragma once

// Reads back the zip archives and XML parts the .xlsx writer produces,
// independently of how they were written: the archive is walked from its end
// record, every member is inflated with zlib and held to its CRC and sizes,
// and XML is checked for well-formedness. Shared by the tests and the
// export fuzzer; every function returns an empty text when all is well and
// otherwise names the first problem.

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

struct ZipMember {
  std::string name;
  std::string data;
};

namespace zip_check {

inline uint32_t Le(std::string_view s, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return v;
}

/// Raw deflate data inflated into `out`; false when it is not exactly one
/// complete deflate stream.
inline bool Inflate(std::string_view in, std::string* out) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buf[1 << 14];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out->append(buf, sizeof buf - z.avail_out);
  } while (rc == Z_OK);
  bool ok = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return ok;
}

}  // namespace zip_check

/// The members of `archive`, in directory order, or the first problem.
/// Holds the archive to the layout the writer promises: local headers and
/// directory entries that agree, deflated members without data
/// descriptors, the fixed 1980-01-01 date, no ZIP64, and nothing between or
/// after the parts.
inline std::string ReadZip(std::string_view zip, std::vector<ZipMember>* members) {
  using zip_check::Le;
  members->clear();
  if (zip.size() < 22) return "shorter than an end record";
  const size_t end = zip.size() - 22;
  if (Le(zip, end, 4) != 0x06054B50) return "no end record at the end (or a comment)";
  const uint32_t count = Le(zip, end + 10, 2), size = Le(zip, end + 12, 4), offset = Le(zip, end + 16, 4);
  if (Le(zip, end + 8, 2) != count || Le(zip, end + 4, 4) != 0) return "a multi-disk end record";
  if (static_cast<uint64_t>(offset) + size != end) return "the directory does not end where the end record starts";
  size_t at = offset, next = 0;  // next: where the next local header must start
  for (uint32_t i = 0; i < count; ++i) {
    if (at + 46 > end || Le(zip, at, 4) != 0x02014B50) return "bad directory entry " + std::to_string(i);
    const uint32_t crc = Le(zip, at + 16, 4), packed = Le(zip, at + 20, 4), unpacked = Le(zip, at + 24, 4);
    const uint32_t nameLength = Le(zip, at + 28, 2), local = Le(zip, at + 42, 4);
    if (Le(zip, at + 30, 2) || Le(zip, at + 32, 2)) return "extra field or comment in the directory";
    if (at + 46 + nameLength > end) return "directory name runs past the directory";
    std::string name(zip.substr(at + 46, nameLength));
    if (Le(zip, at + 8, 2) != 0 || Le(zip, at + 10, 2) != 8) return name + ": flags or method not plain deflate";
    if (Le(zip, at + 12, 2) != 0 || Le(zip, at + 14, 2) != 0x21) return name + ": not dated 1980-01-01 00:00";
    if (local != next) return name + ": local header not right after the previous member";
    if (local + 30ull + nameLength > offset || Le(zip, local, 4) != 0x04034B50) return name + ": no local header";
    if (zip.substr(local + 6, 24) != zip.substr(at + 8, 24) || Le(zip, local + 28, 2) != 0)
      return name + ": local header disagrees with the directory";
    if (zip.substr(local + 30, nameLength) != name) return name + ": local name differs";
    const size_t data = local + 30 + nameLength;
    if (data + packed > offset) return name + ": data runs into the directory";
    ZipMember m{name, ""};
    if (!zip_check::Inflate(zip.substr(data, packed), &m.data)) return name + ": not one complete deflate stream";
    if (m.data.size() != unpacked) return name + ": inflated size differs";
    if (crc32(0L, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())) != crc)
      return name + ": CRC differs";
    members->push_back(std::move(m));
    next = data + packed;
    at += 46 + nameLength;
  }
  if (at != end || next != offset) return "bytes between the parts or in the directory";
  return "";
}

/// Empty when `xml` is a well-formed XML 1.0 document in UTF-8 (an optional
/// declaration, one root element, balanced tags, quoted attributes given
/// once, known entities, characters XML allows); otherwise the problem.
inline std::string XmlProblem(std::string_view xml) {
  size_t at = 0;
  auto fail = [&](const char* what) { return std::string(what) + " at " + std::to_string(at); };
  auto isName = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.';
  };
  // One character of text or attribute value: valid UTF-8 of an allowed code point, or an entity.
  auto character = [&](bool* ok) {
    unsigned char c = static_cast<unsigned char>(xml[at]);
    if (c == '&') {
      size_t semi = xml.find(';', at);
      if (semi == std::string_view::npos) {
        *ok = false;
        at = xml.size();
        return;
      }
      std::string_view ref = xml.substr(at + 1, semi - at - 1);
      *ok = ref == "amp" || ref == "lt" || ref == "gt" || ref == "quot" || ref == "apos";
      if (!*ok && ref.size() > 1 && ref[0] == '#') {
        long v = ref[1] == 'x' ? std::strtol(std::string(ref.substr(2)).c_str(), nullptr, 16)
                               : std::strtol(std::string(ref.substr(1)).c_str(), nullptr, 10);
        *ok = v == 9 || v == 10 || v == 13 || (v >= 0x20 && v <= 0x10FFFF && !(v >= 0xD800 && v < 0xE000));
      }
      at = semi + 1;
      return;
    }
    if (c < 0x80) {
      *ok = c >= 0x20 || c == '\t' || c == '\n' || c == '\r';
      ++at;
      return;
    }
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : -1;
    *ok = extra > 0 && c < 0xF5 && at + extra < xml.size();
    uint32_t u = c & (0x3F >> extra);
    for (int i = 1; *ok && i <= extra; ++i) {
      unsigned char d = static_cast<unsigned char>(xml[at + i]);
      *ok = (d & 0xC0) == 0x80;
      u = u << 6 | (d & 0x3F);
    }
    if (*ok) *ok = !(u >= 0xD800 && u < 0xE000) && u != 0xFFFE && u != 0xFFFF && (extra < 2 || u >= 0x800) &&
                   (extra < 3 || u >= 0x10000);
    at += extra > 0 ? extra + 1 : 1;
  };
  if (xml.substr(0, 5) == "<?xml") {
    at = xml.find("?>");
    if (at == std::string_view::npos) return "unterminated declaration";
    at += 2;
  }
  std::vector<std::string_view> open;
  bool rootSeen = false;
  while (at < xml.size()) {
    if (xml[at] != '<') {
      if (open.empty() && xml[at] != '\n' && xml[at] != ' ' && xml[at] != '\r' && xml[at] != '\t')
        return fail("text outside the root");
      if (xml[at] == '>') return fail("bare >");  // allowed by XML, never written by us
      bool ok;
      character(&ok);
      if (!ok) return fail("bad character or entity");
      continue;
    }
    ++at;
    bool closing = at < xml.size() && xml[at] == '/';
    if (closing) ++at;
    size_t nameStart = at;
    while (at < xml.size() && isName(xml[at])) ++at;
    std::string_view name = xml.substr(nameStart, at - nameStart);
    if (name.empty()) return fail("bad tag");
    if (closing) {
      if (open.empty() || open.back() != name) return fail("mismatched end tag");
      open.pop_back();
      if (at >= xml.size() || xml[at] != '>') return fail("bad end tag");
      ++at;
      continue;
    }
    if (open.empty() && rootSeen) return fail("second root element");
    rootSeen = true;
    std::vector<std::string_view> attributes;
    for (;;) {
      size_t blank = at;
      while (at < xml.size() && (xml[at] == ' ' || xml[at] == '\n' || xml[at] == '\t' || xml[at] == '\r')) ++at;
      if (at >= xml.size()) return fail("unterminated tag");
      if (xml[at] == '>' || xml.substr(at, 2) == "/>") break;
      if (at == blank) return fail("attribute without a blank before it");
      size_t attributeStart = at;
      while (at < xml.size() && isName(xml[at])) ++at;
      std::string_view attribute = xml.substr(attributeStart, at - attributeStart);
      if (attribute.empty() || at + 1 >= xml.size() || xml[at] != '=' || (xml[at + 1] != '"' && xml[at + 1] != '\''))
        return fail("bad attribute");
      for (std::string_view seen : attributes)
        if (seen == attribute) return fail("attribute given twice");
      attributes.push_back(attribute);
      char quote = xml[at + 1];
      at += 2;
      while (at < xml.size() && xml[at] != quote) {
        if (xml[at] == '<') return fail("< in an attribute value");
        bool ok;
        character(&ok);
        if (!ok) return fail("bad character or entity in an attribute");
      }
      if (at >= xml.size()) return fail("unterminated attribute");
      ++at;
    }
    if (xml[at] == '/') {
      at += 2;
    } else {
      open.push_back(name);
      ++at;
    }
  }
  if (!open.empty()) return "unclosed element " + std::string(open.back());
  return rootSeen ? "" : "no root element";
}
