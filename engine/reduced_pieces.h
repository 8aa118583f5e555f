// The pieces a long value line is reduced to while it is read: the number
// a long value is worth, the bytes of a piece that may be copied, and the
// blanks around a value list left out.
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "internal.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel::detail {

// More significant digits than these never change the double a decimal
// text reads as, only whether any digit after them is not 0.
constexpr std::size_t kKeptDigits = 800;
inline bool NumberSkips(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
inline bool IsDigitByte(char c) {
  return c >= '0' && c <= '9';
}

// Reads a text a piece at a time as the number reader reads it, keeping only
// what decides its value: the sign, at most kKeptDigits significant digits
// (and whether a later one is not 0), where the first of them stands, and
// the exponent.
class NumberReducer {
 public:
  void Take(std::string_view bytes) {
    for (const char c : bytes) {
      if (phase_ == Phase::kRest) return;
      Step(c);
    }
  }
  // Nothing after this point changes the value.
  bool decided() const { return phase_ == Phase::kRest; }

  // A short text the number reader reads as it reads the whole: the same
  // value, or the same overflow.
  std::string Text() const {
    if (!digits_) return "0";
    if (significant_ == 0) return negative_ ? "-0" : "0";
    const std::int64_t exponent = !exponent_digits_    ? 0
                                  : exponent_negative_ ? -exponent_
                                                       : exponent_;
    const std::int64_t position = (whole_ > 0 ? whole_ : -fraction_zeros_) + exponent;
    std::string text = negative_ ? "-0." : "0.";
    text += kept_;
    if (sticky_) text += '1';
    text += 'e';
    char number[24];
    const auto [end, ec] = std::to_chars(number, number + sizeof number, position);
    (void)ec;
    text.append(number, end);
    return text;
  }

 private:
  enum class Phase { kLead, kMantissa, kExponentLead, kExponent, kRest };
  // Far beyond what any double or any line can make up for.
  static constexpr std::int64_t kExponentCap = 1'000'000'000'000'000;

  void Step(char c) {
    switch (phase_) {
      case Phase::kLead:
        if (NumberSkips(c)) return;
        phase_ = Phase::kMantissa;
        if (c == '+' || c == '-') {
          negative_ = c == '-';
          return;
        }
        [[fallthrough]];
      case Phase::kMantissa:
        if (NumberSkips(c)) return;
        if (IsDigitByte(c)) {
          digits_ = true;
          MantissaDigit(c);
        } else if (c == '.' && !point_) {
          point_ = true;
        } else {
          phase_ = digits_ && (c == 'e' || c == 'E') ? Phase::kExponentLead : Phase::kRest;
        }
        return;
      case Phase::kExponentLead:
        if (NumberSkips(c)) return;
        phase_ = Phase::kExponent;
        if (c == '+' || c == '-') {
          exponent_negative_ = c == '-';
          return;
        }
        [[fallthrough]];
      case Phase::kExponent:
        if (NumberSkips(c)) return;
        if (!IsDigitByte(c)) {
          phase_ = Phase::kRest;
          return;
        }
        exponent_digits_ = true;
        exponent_ = std::min(exponent_ * 10 + (c - '0'), kExponentCap);
        return;
      case Phase::kRest:
        return;
    }
  }

  void MantissaDigit(char c) {
    if (significant_ == 0 && c == '0') {  // a leading zero
      if (point_) ++fraction_zeros_;
      return;
    }
    if (!point_) ++whole_;
    ++significant_;
    if (kept_.size() < kKeptDigits) {
      kept_ += c;
    } else if (c != '0') {
      sticky_ = true;
    }
  }

  Phase phase_ = Phase::kLead;
  bool negative_ = false, digits_ = false, point_ = false, sticky_ = false;
  bool exponent_negative_ = false, exponent_digits_ = false;
  std::int64_t whole_ = 0;           // significant digits before the point
  std::int64_t fraction_zeros_ = 0;  // zeros after the point before the first significant digit
  std::int64_t significant_ = 0;
  std::int64_t exponent_ = 0;
  std::string kept_;
};

// The bytes of a long piece, kept as runs of one byte (the byte and the
// run's length), in memory while the line's `budget` lasts, else in a spool
// file.
class HeldText {
 public:
  explicit HeldText(std::size_t& budget) : budget_(budget) {}

  void Add(std::string_view bytes) {
    if (spooled_) {
      EndRun();
      spooled_->Write(bytes);
      return;
    }
    while (!bytes.empty()) {
      if (count_ == 0 || bytes.front() != byte_) {
        EndRun();
        byte_ = bytes.front();
      }
      std::size_t run = bytes.find_first_not_of(byte_);
      if (run == std::string_view::npos) run = bytes.size();
      count_ += run;
      bytes.remove_prefix(run);
    }
  }

  // Writes the bytes as they were.
  void WriteTo(platform::OutputFile& output) {
    EndRun();
    if (spooled_) {
      spooled_->Close();
      spooled_.reset();
      platform::InputFile in(spool_->path());
      char buffer[1 << 16];
      while (const std::size_t got = in.ReadBytes(buffer, sizeof buffer))
        output.Write(std::string_view(buffer, got));
      return;
    }
    WriteRuns(output);
  }

 private:
  void WriteRuns(platform::OutputFile& output) const {
    for (std::size_t at = 0; at < runs_.size();) {
      const char byte = runs_[at++];
      std::uint64_t count = 0;
      for (int shift = 0;; shift += 7) {
        const auto group = static_cast<unsigned char>(runs_[at++]);
        count |= static_cast<std::uint64_t>(group & 0x7f) << shift;
        if (group < 0x80) break;
      }
      WriteRun(output, byte, count);
    }
  }

  static void WriteRun(platform::OutputFile& output, char byte, std::uint64_t count) {
    if (count <= 16) {
      char* at = output.Reserve(16);
      std::memset(at, byte, 16);
      output.Commit(at + count);
      return;
    }
    std::array<char, 4096> same;
    same.fill(byte);
    while (count > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count, same.size()));
      output.Write(std::string_view(same.data(), n));
      count -= n;
    }
  }

  void EndRun() {
    if (count_ == 0) return;
    if (spooled_) {
      WriteRun(*spooled_, byte_, count_);
    } else {
      const std::size_t before = runs_.size();
      runs_ += byte_;
      for (std::uint64_t count = count_;; count >>= 7) {
        runs_ += static_cast<char>((count & 0x7f) | (count >= 0x80 ? 0x80 : 0));
        if (count < 0x80) break;
      }
      const std::size_t added = runs_.size() - before;
      if (added <= budget_) {
        budget_ -= added;
      } else {
        budget_ = 0;
        Spill();
      }
    }
    count_ = 0;
  }

  void Spill() {
    spool_.emplace();
    spooled_.emplace(spool_->path());
    WriteRuns(*spooled_);
    runs_.clear();
    runs_.shrink_to_fit();
  }

  std::size_t& budget_;
  std::string runs_;
  char byte_ = 0;
  std::uint64_t count_ = 0;  // of the run not yet ended
  std::optional<PrivateFile> spool_;
  std::optional<platform::OutputFile> spooled_;
};

// Gives the bytes of a line to `put`, blanks at its start and at its end left
// out (as TrimBlanks leaves them out).
class Trimmed {
 public:
  template <typename Put>
  void Take(std::string_view bytes, Put&& put) {
    static constexpr std::string_view kBlanks = "                                ";
    while (!bytes.empty()) {
      const std::size_t text = bytes.find_first_not_of(' ');
      if (text == std::string_view::npos) {
        if (started_) blanks_ += bytes.size();
        return;
      }
      if (started_) blanks_ += text;
      while (blanks_ > 0) {
        const std::size_t n = std::min(blanks_, kBlanks.size());
        put(kBlanks.substr(0, n));
        blanks_ -= n;
      }
      started_ = true;
      std::size_t blank = bytes.find(' ', text);
      if (blank == std::string_view::npos) blank = bytes.size();
      put(bytes.substr(text, blank - text));
      bytes.remove_prefix(blank);
    }
  }

 private:
  bool started_ = false;
  std::size_t blanks_ = 0;  // read and not given yet
};

}  // namespace tavrel::detail
