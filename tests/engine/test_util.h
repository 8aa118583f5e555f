// Helpers shared by the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

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

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
