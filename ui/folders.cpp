#include "folders.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tavrel::ui {

namespace fs = std::filesystem;

std::optional<QStringList> ReadFolder(const QString& folder, EntryKind kind) {
  std::error_code error;
  fs::directory_iterator it(fs::path(ToEngine(folder)), error);
  if (error) return std::nullopt;
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) return std::nullopt;
    const std::string name = it->path().filename().string();
    if (name.empty() || name.front() == '.') continue;
    std::error_code ignored;  // a dangling link is simply not listed
    const bool wanted =
        kind == EntryKind::kFolders ? it->is_directory(ignored) : it->is_regular_file(ignored);
    if (wanted) names.append(FromEngine(name));
  }
  if (error) return std::nullopt;
  std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
  });
  return names;
}

bool IsReadableFolder(const QString& folder) {
  std::error_code error;
  fs::directory_iterator it(fs::path(ToEngine(folder)), error);
  return !error;
}

QString CleanFolder(const QString& path) {
  return QDir::cleanPath(QDir(path).absolutePath());
}

bool FolderIsUnder(const QString& path, const QString& root) {
  if (path == root) return true;
  const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  return path.startsWith(prefix);
}

std::string ToEngine(const QString& text) {
  return QFile::encodeName(text).toStdString();
}

QString FromEngine(const std::string& text) {
  return QFile::decodeName(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace tavrel::ui
