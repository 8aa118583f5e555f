// The whole analysis and conversion of an arbitrary file.  The input becomes
// a file in a private temporary folder; the conversion goes to a file in the
// same folder.  A file may be converted, left unconverted or end in run-time
// error 5, 6 or 9, and a failed conversion leaves no output behind.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_common.h"
#include "tavrel.h"

namespace {

using tavrel::fuzz::ExpectError;
using tavrel::fuzz::Require;

class NoSink : public tavrel::AnalysisSink {
 public:
  void SetLabel(tavrel::Label, const std::string&) override {}
  void Repaint() override {}
  void SetReady(bool) override {}
  void Failed(const tavrel::RuntimeError& error, std::uint64_t) override {
    ExpectError(error,
                {tavrel::err::kInvalidArgument, tavrel::err::kOverflow, tavrel::err::kSubscript},
                "Analizza");
  }
};

// The private folder, made once and removed with its files at exit.
const std::string& Folder() {
  static char pattern[] = "/tmp/tavrel-fuzz-XXXXXX";
  static const std::string* folder = [] {
    if (mkdtemp(pattern) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit([] {
      for (const char* name : {"/IN.PCB", "/PEMBLIX.TMP"}) {
        unlink((std::string(pattern) + name).c_str());
      }
      rmdir(pattern);
    });
    return new std::string(pattern);  // outlives the exit handler
  }();
  return *folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  Require(fd >= 0, "cannot create the source file");
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    Require(written > 0, "cannot write the source file");
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  close(fd);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// Whether the file begins with the 3.5 header and its line end.
bool StartsWithHeader(const std::string& path) {
  const std::string expected = std::string(tavrel::kHeader35) + "\r\n";
  std::string head(expected.size(), '\0');
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const ssize_t got = read(fd, head.data(), head.size());
  close(fd);
  return got == static_cast<ssize_t>(head.size()) && head == expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& folder = Folder();
  WriteFile(folder + "/IN.PCB", data, size);
  const std::string output = folder + "/PEMBLIX.TMP";
  unlink(output.c_str());

  tavrel::AnalysisRequest request;
  request.folder = folder;
  request.name = "IN.PCB";
  request.output_path = output;
  // Both number settings, alternating with the input.
  if (size % 2 == 1) request.numbers = {",", "."};
  NoSink sink;
  const tavrel::AnalysisOutcome outcome = tavrel::Analizza(request, sink);

  if (outcome.failed) {
    Require(!outcome.converted, "a failed analysis reports a conversion");
    Require(!Exists(output), "a failed conversion left its output");
  } else if (tavrel::IsConvertible(outcome.code)) {
    Require(outcome.converted, "a convertible file was not converted");
    Require(StartsWithHeader(output), "the output does not begin with the 3.5 header");
  } else {
    Require(!outcome.converted && !Exists(output), "an unconvertible file was written");
  }
  return 0;
}
