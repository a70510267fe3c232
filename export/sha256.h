#pragma once

#include <string>
#include <string_view>

// SHA-256 as libgcrypt computes it, in lower-case hex (64 characters).

/// The hash of `data`.
std::string Sha256Hex(std::string_view data);

/// The hash and size of the file at `path`, read in pieces; false and
/// `err` ("cannot open|read PATH: reason") when it cannot be read.
bool Sha256OfFile(const std::string& path, std::string* hex, long long* size, std::string* err);
