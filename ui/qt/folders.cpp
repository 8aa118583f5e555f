#include "folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tavrel::ui {

namespace fs = std::filesystem;

namespace {

// The last folder read, until the event loop runs again.
struct Listing {
  QString folder;
  QStringList folders, files;
  bool kept = false;
};

Listing& LastListing() {
  static Listing listing;
  return listing;
}

bool ReadListing(const QString& folder, Listing& listing) {
  std::error_code error;
  fs::directory_iterator it(fs::path(ToEngine(folder)), error);
  if (error) return false;
  listing.folders.clear();
  listing.files.clear();
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return false;
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code ignored;  // a dangling link is simply not listed
    if (it->is_directory(ignored)) {
      listing.folders.append(FromEngine(name));
    } else if (it->is_regular_file(ignored)) {
      listing.files.append(FromEngine(name));
    }
  }
  if (error) return false;
  for (QStringList* names : {&listing.folders, &listing.files}) {
    std::sort(names->begin(), names->end(), [](const QString& a, const QString& b) {
      const int folded = QString::compare(a, b, Qt::CaseInsensitive);
      return folded != 0 ? folded < 0 : a < b;
    });
  }
  listing.folder = folder;
  return true;
}

}  // namespace

std::optional<QStringList> ReadFolder(const QString& folder, EntryKind kind, bool again) {
  Listing& listing = LastListing();
  if (again || !listing.kept || listing.folder != folder) {
    listing.kept = false;
    if (!ReadListing(folder, listing)) return std::nullopt;
    if (QCoreApplication::instance() != nullptr) {
      listing.kept = true;
      QTimer::singleShot(0, QCoreApplication::instance(), [] { LastListing().kept = false; });
    }
  }
  return kind == EntryKind::kFolders ? listing.folders : listing.files;
}

bool IsReadableFolder(const QString& folder) {
  std::error_code error;
  fs::directory_iterator it(fs::path(ToEngine(folder)), error);
  return !error;
}

QString CleanFolder(const QString& path) {
  const QString absolute =
      QDir::isAbsolutePath(path) ? path : CurrentFolder() + QLatin1Char('/') + path;
  return QDir::cleanPath(absolute);
}

QString CurrentFolder() {
  std::error_code error;
  const fs::path current = fs::current_path(error);
  return error ? QDir::rootPath() : FromEngine(current.string());
}

bool IsFolder(const QString& path) {
  std::error_code error;
  return fs::is_directory(fs::path(ToEngine(path)), error);
}

bool FolderIsUnder(const QString& path, const QString& root) {
  if (path == root) return true;
  const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  return path.startsWith(prefix);
}

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
