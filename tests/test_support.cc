#include "tests/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "app/settings.h"
#include "platform/platform.h"

TempDir::TempDir() {
  // A name of our own below the system's temporary folder; create_directory
  // refuses one that is taken, so two tests never share a folder.
  namespace fs = std::filesystem;
  std::random_device random;
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "harrow-test-%08x", random());
    fs::path p = base / name;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view name) const { return path_ + kPathSeparator + std::string(name); }

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name) {
  const char* old = std::getenv(name);
  hadOld_ = old != nullptr;
  if (old) old_ = old;
  SetEnv(name, value);
}

ScopedEnv::~ScopedEnv() {
  if (hadOld_)
    SetEnv(name_.c_str(), old_);
  else
    UnsetEnv(name_.c_str());
}

IsolatedSettings::IsolatedSettings()
    : home_("HOME", dir_ / "home"), config_("XDG_CONFIG_HOME", dir_ / "config"),
      data_("XDG_DATA_HOME", dir_ / "data"), appData_("APPDATA", dir_ / "config"),
      localAppData_("LOCALAPPDATA", dir_ / "data"), profile_("USERPROFILE", dir_ / "home"),
      programData_("ProgramData", dir_ / "machine") {
  MakeDirectory(dir_ / "home");
  ClearSettingOverrides();
}

IsolatedSettings::~IsolatedSettings() { ClearSettingOverrides(); }

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string FirstDifference(std::string_view expected, std::string_view actual) {
  size_t n = std::min(expected.size(), actual.size());
  size_t i = 0;
  while (i < n && expected[i] == actual[i]) ++i;
  if (i == n && expected.size() == actual.size()) return "";
  auto hex = [](std::string_view s, size_t at) {
    std::string out;
    char buf[4];
    for (size_t k = at; k < s.size() && k < at + 8; ++k) {
      std::snprintf(buf, sizeof buf, "%02X ", static_cast<unsigned char>(s[k]));
      out += buf;
    }
    return out.empty() ? std::string("<end>") : out;
  };
  std::ostringstream msg;
  msg << "first difference at offset " << i << " (expected size " << expected.size()
      << ", actual size " << actual.size() << "): expected " << hex(expected, i) << "got "
      << hex(actual, i);
  return msg.str();
}
