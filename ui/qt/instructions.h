// The texts of the information window: the user instructions and the credits.
#pragma once

#include <QString>
#include <QStringList>

namespace tavrel::ui {

namespace credits {
inline constexpr char kFreeware[] = "Freeware 2003";
inline constexpr char kAuthor[] = "Ugo Fennok";
inline constexpr char kEmail[] = "ugo@example.org";
inline constexpr char kWeb[] = "www.example.org";
}  // namespace credits

// The 35 lines of the instructions, each without its line end.
QStringList InstructionLines();
// The instructions as the box holds them: every line ended by CR LF.
QString InstructionText();

}  // namespace tavrel::ui
