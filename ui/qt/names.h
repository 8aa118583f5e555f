// Names between the window's text and the engine's bytes.
#pragma once

#include <QString>
#include <string>

namespace tavrel::ui {

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
