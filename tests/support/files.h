// Files for every suite's tests: reading and writing them whole, a fresh
// temporary folder, and the Tavrel headers the samples start with.
// Standard library only.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// The header lines of the data files the windows and tavconv meet.
inline const std::string kDataHeader36 = "TAVREL Version 3.6 -- DATA FILE";
inline const std::string kDataHeader40 = "TAVREL Version 4.0 -- Data File.";
inline const std::string kDataHeader35 = "TAVREL Version 3.5 -- DATA FILE";
inline const std::string kLibraryHeader35 = "TAVREL VERSION 3.5 -- SOURCE LIBRARY FILE";

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the whole file was written.
inline bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file << bytes;
  return static_cast<bool>(file.flush());
}

// A new, empty folder in the system's temporary folder, named after `prefix`.
inline std::string NewTemporaryFolder(const std::string& prefix) {
  namespace fs = std::filesystem;
  std::random_device random;
  for (;;) {
    const fs::path folder = fs::temp_directory_path() / (prefix + std::to_string(random()));
    if (fs::create_directory(folder)) return folder.string();
  }
}
