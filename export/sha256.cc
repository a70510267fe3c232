#include "export/sha256.h"

#include <gcrypt.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// libgcrypt wants its version checked once before any other call, and to
// be told that set-up is over; a hash needs no secure memory.
void InitGcrypt() {
  static const bool ready = [] {
    gcry_check_version(nullptr);
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
  }();
  (void)ready;
}

std::string Hex(const unsigned char* digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (int i = 0; i < 32; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

}  // namespace

std::string Sha256Hex(std::string_view data) {
  InitGcrypt();
  unsigned char digest[32];
  gcry_md_hash_buffer(GCRY_MD_SHA256, digest, data.data(), data.size());
  return Hex(digest);
}

bool Sha256OfFile(const std::string& path, std::string* hex, long long* size, std::string* err) {
  InitGcrypt();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *err = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  gcry_md_hd_t md = nullptr;
  if (gcry_md_open(&md, GCRY_MD_SHA256, 0) != 0) {
    std::fclose(f);
    *err = "cannot read " + path + ": the hash cannot be set up";
    return false;
  }
  char buf[65536];
  long long total = 0;
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    gcry_md_write(md, buf, n);
    total += static_cast<long long>(n);
  }
  bool failed = std::ferror(f) != 0;
  int code = errno;
  std::fclose(f);
  if (failed) {
    gcry_md_close(md);
    *err = "cannot read " + path + ": " + std::strerror(code);
    return false;
  }
  *hex = Hex(gcry_md_read(md, GCRY_MD_SHA256));
  *size = total;
  gcry_md_close(md);
  return true;
}
