// Helpers shared by the engine's tests: errors, transformations, the
// recording sink and a folder of sources.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "files.h"
#include "tavrel.h"

// Runs `call` and returns the number of the run-time error it raised, or -1.
inline int ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const tavrel::RuntimeError& error) {
    return error.number();
  }
  return -1;
}

// The header lines as the data files begin: with their line end.
inline const std::string kH36 = kDataHeader36 + "\r\n";
inline const std::string kH40 = kDataHeader40 + "\r\n";
inline const std::string kH35 = kDataHeader35 + "\r\n";

inline const tavrel::NumberSettings kPoint{".", ","};
inline const tavrel::NumberSettings kComma{",", "."};

// Trasforma on a copy of the line.
inline std::string Transformed(std::string line, const tavrel::NumberSettings& numbers = kPoint) {
  return tavrel::Trasforma(line, numbers);
}

// Records every call of an analysis, in order.  `on_label` and `on_repaint`
// let a test act at that moment of the analysis.
class RecordingSink : public tavrel::AnalysisSink {
 public:
  void SetLabel(tavrel::Label label, const std::string& text) override {
    static const char* const kNames[] = {"SourceFile", "FileSize", "FileDate", "TipoFile",
                                         "ConvPreview"};
    labels[static_cast<int>(label)] = text;
    calls.push_back(std::string(kNames[static_cast<int>(label)]) + "=" + text);
    if (on_label) on_label(label);
  }
  void Repaint() override {
    calls.push_back("Repaint");
    if (on_repaint) on_repaint();
  }
  void SetReady(bool value) override {
    ready = value;
    calls.push_back(value ? "Ready" : "NotReady");
  }
  void Failed(const tavrel::RuntimeError& error, std::uint64_t at_line) override {
    failed_number = error.number();
    line = at_line;
    calls.push_back("Failed " + std::to_string(error.number()));
  }

  std::string label(tavrel::Label which) const { return labels[static_cast<int>(which)]; }

  std::function<void(tavrel::Label)> on_label;
  std::function<void()> on_repaint;
  std::string labels[5];
  std::vector<std::string> calls;
  bool ready = false;
  int failed_number = -1;
  std::uint64_t line = 0;
};

// A fresh folder for source files, with an output folder "out" inside it
// where the analysis writes PEMBLIX.TMP; both are removed afterwards.
class SourceFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = NewTemporaryFolder("tavrel-test-");
    out_dir_ = dir_ + "/out";
    std::filesystem::create_directory(out_dir_);
    output_ = out_dir_ + "/PEMBLIX.TMP";
  }
  void TearDown() override {
    namespace fs = std::filesystem;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  void Write(const std::string& name, const std::string& bytes) {
    WriteFile(dir_ + "/" + name, bytes);
  }
  static std::string Read(const std::string& path) { return ReadFile(path); }
  tavrel::AnalysisOutcome Run(const std::string& name, RecordingSink& sink,
                              const tavrel::NumberSettings& numbers = kPoint) {
    tavrel::AnalysisRequest request{dir_, name, output_, numbers};
    return tavrel::Analizza(request, sink);
  }

  std::string dir_;
  std::string out_dir_;
  std::string output_;
};
