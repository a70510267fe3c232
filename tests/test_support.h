#pragma once

#include <string>
#include <string_view>

/// A fresh folder below the system's temporary folder, removed with
/// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  /// path(), the platform's separator and name.
  std::string operator/(std::string_view name) const;

 private:
  std::string path_;
};

/// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::string old_;
  bool hadOld_;
};

/// Points the settings files and the user's home at a temporary folder for
/// the life of the object, so tests never touch the real ones.
class IsolatedSettings {
 public:
  IsolatedSettings();
  ~IsolatedSettings();
  const TempDir& dir() const { return dir_; }
  std::string home() const { return dir_ / "home"; }
  std::string config() const { return dir_ / "config"; }
  std::string machine() const { return dir_ / "machine"; }

 private:
  TempDir dir_;
  // The user's folders on both systems: XDG on Linux, the profile's on Windows.
  ScopedEnv home_;
  ScopedEnv config_;
  ScopedEnv data_;
  ScopedEnv appData_;
  ScopedEnv localAppData_;
  ScopedEnv profile_;
  // The machine's folder on Windows, where the installer writes the site's settings.
  ScopedEnv programData_;
};

/// The whole file, or "<missing>" when it cannot be read.
std::string ReadFileBytes(const std::string& path);
/// Replaces the file with `data`.
void WriteFileBytes(const std::string& path, std::string_view data);
/// Offset and a short hex view of the first difference between two byte
/// strings, or the empty text when they are equal.
std::string FirstDifference(std::string_view expected, std::string_view actual);
