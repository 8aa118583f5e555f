#include "names.h"

#include <QString>

namespace tavrel::ui {

namespace {

constexpr char16_t kFirstEscape = 0xDC80;  // stands for the byte 0x80
constexpr char16_t kLastEscape = 0xDCFF;

bool IsEscape(QChar unit) {
  return unit.unicode() >= kFirstEscape && unit.unicode() <= kLastEscape;
}

// The length of the well-formed UTF-8 sequence at `at`, 0 when there is none.
std::size_t SequenceLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = at + 2; i < at + length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

std::string ToEngine(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  qsizetype done = 0;  // text before this is in `bytes`
  const auto flush = [&](qsizetype end) {
    if (end > done) bytes += text.sliced(done, end - done).toStdString();
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    // An escape is a lone low surrogate: one after a high surrogate is text.
    if (!IsEscape(text[i]) || (i > 0 && text[i - 1].isHighSurrogate())) continue;
    flush(i);
    bytes += static_cast<char>(text[i].unicode() - kFirstEscape + 0x80);
    done = i + 1;
  }
  flush(text.size());
  return bytes;
}

QString FromEngine(const std::string& text) {
  QString decoded;
  decoded.reserve(static_cast<qsizetype>(text.size()));
  std::size_t done = 0;  // bytes before this are in `decoded`
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = SequenceLength(text, i);
    if (length > 0) {
      i += length;
      continue;
    }
    decoded += QString::fromUtf8(text.data() + done, static_cast<qsizetype>(i - done));
    decoded +=
        QChar(static_cast<char16_t>(kFirstEscape + static_cast<unsigned char>(text[i]) - 0x80));
    done = ++i;
  }
  decoded += QString::fromUtf8(text.data() + done, static_cast<qsizetype>(text.size() - done));
  return decoded;
}

QString Shown(const QString& text) {
  QString shown = text;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    if (IsEscape(shown[i]) && !(i > 0 && shown[i - 1].isHighSurrogate()))
      shown[i] = QChar::ReplacementCharacter;
  }
  return shown;
}

}  // namespace tavrel::ui
