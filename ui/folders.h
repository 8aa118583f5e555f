// Reading folders for the drive, folder and file lists.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tavrel::ui {

enum class EntryKind { kFolders, kFiles };

// The names of the visible subfolders or ordinary files of `folder`, sorted
// as a user reads them (case folded first).  Hidden entries (names starting
// with a dot) are left out, and so are sockets, pipes and devices.  Nothing
// when the folder cannot be read.
std::optional<QStringList> ReadFolder(const QString& folder, EntryKind kind);

// Whether `folder` can be listed.
bool IsReadableFolder(const QString& folder);

// `path` made absolute and clean, without a trailing separator.
QString CleanFolder(const QString& path);

// Whether `path` lies in `root` (or is `root`).
bool FolderIsUnder(const QString& path, const QString& root);

// The 8-bit form of a path or name for the engine, and back.
std::string ToEngine(const QString& text);
QString FromEngine(const std::string& text);

}  // namespace tavrel::ui
