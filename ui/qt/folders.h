// Reading folders for the drive, folder and file lists.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace tavrel::ui {

enum class EntryKind { kFolders, kFiles };

// The names of the visible subfolders or ordinary files of `folder`, sorted
// as a user reads them (case folded first).  Hidden entries (names starting
// with a dot) are left out, and so are sockets, pipes and devices.  Nothing
// when the folder cannot be read.  Both kinds are read in one pass and kept
// until the event loop runs again, so that the lists showing one folder
// during one user action read it once; `again` reads it anew (F5, after a
// save).
std::optional<QStringList> ReadFolder(const QString& folder, EntryKind kind, bool again = false);

// Whether `folder` can be listed.
bool IsReadableFolder(const QString& folder);

// `path` made absolute and clean, without a trailing separator.  Only the
// text is worked on: the file system is not asked.
QString CleanFolder(const QString& path);

// The program's current folder.
QString CurrentFolder();

// Whether `path` is a folder (or a link to one).
bool IsFolder(const QString& path);

// Whether `path` lies in `root` (or is `root`).
bool FolderIsUnder(const QString& path, const QString& root);

// A path or name keeps the file system's bytes through the window: valid
// UTF-8 is read as text, and every byte that is not holds its own place as
// one of the code units U+DC80..U+DCFF, so that each name goes back to the
// engine exactly as it was listed.
std::string ToEngine(const QString& text);
QString FromEngine(const std::string& text);
// The text to show for such a name: a replacement character for each byte
// that is not UTF-8.
QString Shown(const QString& text);

}  // namespace tavrel::ui
