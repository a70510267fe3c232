#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "export/iso_time.h"

// The manifest: one JSON line per committed report in
// <root>/Manifest/manifest.jsonl, naming each of its files with size and
// SHA-256, each line holding the SHA-256 of the line before it (the first
// line of the file: of nothing), so a file edited or deleted later, and a
// line edited or removed, is found by VerifyManifest. Paths below the root
// are recorded relative to it with '/' ("Text/26_12_08_10_00_00.txt");
// files elsewhere (the folder for unsaved reports) with their full path.

/// What the manifest records of one committed report. The capture fills
/// in what only it knows: the port, the user, the program's version.
struct ManifestEntry {
  std::string root;        // the model's root: the manifest lies below it
  std::string report;      // the report's base name
  int model = 0;           // the model's number, 0 for none
  std::string port;        // the port the lines came from; empty for a replay
  std::string stablePort;  // that port's stable name, empty when unknown
  std::tm firstLine{};     // local time of the report's first line
  std::tm endLine{};       // local time of its end line
  std::string host;
  std::string user;
  std::string version;
  size_t lines = 0;                // the lines of its .txt
  std::vector<std::string> files;  // every file written, as its path
};

/// <root>/Manifest/manifest.jsonl.
std::string ManifestPath(const std::string& root);

/// How the manifest of `root` names the file at `path`: relative to the
/// root with '/' when below it, else the path as it is.
std::string ManifestFileName(const std::string& root, const std::string& path);

/// Hashes the entry's files and appends its line, synced, to the manifest
/// of its root (its folder made when missing). False and `err` naming the
/// file and the cause when a file cannot be read or the manifest written;
/// nothing is appended then.
bool AppendToManifest(const ManifestEntry& entry, std::string* err);

/// One thing VerifyManifest found.
struct ManifestFinding {
  enum Kind { kOk, kAltered, kMissing, kUnreadable, kUnrecorded, kChainBroken, kDamaged, kNoManifest };
  Kind kind = kOk;
  std::string report;  // the report's base name, where one is concerned
  std::string file;    // the file as the manifest names it, where one is concerned
  size_t line = 0;     // the manifest line, counted from 1
  std::string detail;  // why a line is damaged, why a file cannot be read
};

/// The finding as --verify prints it: "ok NAME", "altered NAME FILE",
/// "missing NAME FILE", "unreadable NAME FILE: why", "unrecorded FILE",
/// "chain broken at line N", "damaged line N: why", "no manifest PATH: why".
std::string FindingText(const ManifestFinding& finding);

/// Checks the manifest of `root` against its own chain and against the
/// files: per report one "ok" or one finding per file that differs; then
/// every file of the Text and Excel folders that no line names. A line
/// that is not a manifest entry is found damaged, whatever it holds.
std::vector<ManifestFinding> VerifyManifest(const std::string& root);
