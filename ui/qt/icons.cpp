#include "icons.h"

namespace tavrel::ui {

namespace {

// clang-format off
const char* const kWindowIcon32[] = {
    "32 32 6 1",
    "  c None",
    "0 c #000000",
    "2 c #008000",
    "7 c #C0C0C0",
    "c c #FF0000",
    "e c #FFFF00",
    "                                ",
    "                                ",
    "                                ",
    " 000000000000000000000000000000 ",
    " 022222222222222227772222222220 ",
    " 02222222222222222707ee22222220 ",
    " 022222222222222227772e22222220 ",
    " 027772222222222222222e22222220 ",
    " 02707eeeeeeeee2222222e22222220 ",
    " 0277722222222e2222222e22222220 ",
    " 0222222222222e2222222e22222220 ",
    " 0222222222222e2222222222222220 ",
    " 0222222222222e2222222222222220 ",
    " 0222222222222e2222222222777220 ",
    " 0222222222222eeeeeeeeeee707220 ",
    " 022222222222222222222222777220 ",
    " 022222222222222222727272722220 ",
    " 022222222222222220000000002220 ",
    " 02222222222cc22220000000002220 ",
    " 0277722222cc222220000000002220 ",
    " 02cc7eeeecc2222220000000002220 ",
    " 02cc7222cc22222220000000002220 ",
    " 02cc222cc222222220000000002220 ",
    " 02cc22cce222222777727272722220 ",
    " 02cc2cc2eeeeeee707222222222220 ",
    " 02cccc222222222777222222222220 ",
    " 02cccccccc22222222222222222220 ",
    " 02cccccccc22222222222222222220 ",
    " 000000000000000000000000000000 ",
    "                                ",
    "                                ",
    "                                "
};

const char* const kWindowIcon16[] = {
    "16 16 6 1",
    "  c None",
    "0 c #000000",
    "2 c #008000",
    "7 c #C0C0C0",
    "c c #FF0000",
    "e c #FFFF00",
    "                ",
    "                ",
    "0000000000000000",
    "0222222222222220",
    "027eeeee22222220",
    "0222222e22222220",
    "0222222e22222220",
    "0222222eeeeee720",
    "0222222222222220",
    "02222222e2000020",
    "0c222c22e2000020",
    "0c7eceeee2000020",
    "0c2c222222222220",
    "0cc2222222222220",
    "0ccccc0000000000",
    "                "
};

const char* const kFennokIcon32[] = {
    "32 32 7 1",
    "  c None",
    "0 c #000000",
    "4 c #800000",
    "6 c #808000",
    "8 c #808080",
    "e c #FFFF00",
    "f c #FFFFFF",
    "                                ",
    "       0                0       ",
    "      060              060      ",
    "      060              060      ",
    "     06660            06660     ",
    "     06660            06660     ",
    "    0664660          0664660    ",
    "    0664660          0664660    ",
    "   066444660        066444660   ",
    "   066444660        066444660   ",
    "  0664444466000000006644444660  ",
    "  0664444466666666666644444660  ",
    " 066444446666666666666644444660 ",
    " 066444666666666666666666444660 ",
    "06644466666666666666666666444660",
    "066446666eeeeeeeeeeeeee666644660",
    " 000066eeeeeeeeeeeeeeeeee660000 ",
    "   066eeee0f0eeeeee0f0eeee660   ",
    "   0666eee000eeeeee000eee6660   ",
    "   066666e000eeeeee000e666660   ",
    "   0666666666ffffff6666666660   ",
    "   06666666ffffffffff66666660   ",
    "   0666666ffffffffffff6666660   ",
    "    066666ffff0000ffff666660    ",
    "    066666ffff0000ffff666660    ",
    "     06666fffff00fffff66660     ",
    "      0666ffff8ff8ffff6660      ",
    "       006ffffffffffff600       ",
    "         00ffffffffff00         ",
    "           00ffffff00           ",
    "             000000             ",
    "                                "
};
// The lists' pictures: a hard disk, a closed and an open folder.
const char* const kDriveIcon16[] = {
    "16 16 6 1",
    "  c None",
    ". c #000000",
    "d c #808080",
    "g c #C0C0C0",
    "w c #FFFFFF",
    "l c #00FF00",
    "                ",
    "                ",
    "                ",
    "                ",
    " .............. ",
    ".wwwwwwwwwwwwww.",
    ".wggggggggggggd.",
    ".wggggggggggggd.",
    ".wggggggggggggd.",
    ".wgggggggggllgd.",
    ".wggggggggggggd.",
    ".dddddddddddddd.",
    "................",
    "                ",
    "                ",
    "                "
};

const char* const kFolderClosed13[] = {
    "13 13 5 1",
    "  c None",
    ". c #000000",
    "o c #808000",
    "y c #FFFF00",
    "w c #FFFFFF",
    "             ",
    " ....        ",
    ".wyyy.       ",
    ".wyyyy...... ",
    ".wwwwwwwwww.o",
    ".wyyyyyyyyy.o",
    ".wyyyyyyyyy.o",
    ".wyyyyyyyyy.o",
    ".wyyyyyyyyy.o",
    ".wyyyyyyyyy.o",
    "............o",
    " ooooooooooo ",
    "             "
};

const char* const kFolderOpen13[] = {
    "13 13 5 1",
    "  c None",
    ". c #000000",
    "o c #808000",
    "y c #FFFF00",
    "w c #FFFFFF",
    "             ",
    " ....        ",
    ".wyyy.       ",
    ".wyyyy....   ",
    ".wyyyyyyyy.  ",
    ".wy..........",
    ".w.wyyyyyyy. ",
    ".w.yyyyyyyy. ",
    "..wyyyyyyy.  ",
    "..yyyyyyyy.  ",
    ".wyyyyyyy.   ",
    "..........   ",
    "             "
};
// clang-format on

}  // namespace

QIcon WindowIcon() {
  QIcon icon;
  icon.addPixmap(QPixmap(kWindowIcon32));
  icon.addPixmap(QPixmap(kWindowIcon16));
  return icon;
}

QImage DesktopIcon(int size) {
  if (size <= 0 || size % 16 != 0) return {};
  const QImage picture(size % 32 == 0 ? kWindowIcon32 : kWindowIcon16);
  return picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
      .convertToFormat(QImage::Format_ARGB32);
}

QPixmap FennokPicture() {
  return QPixmap(kFennokIcon32);
}

// Each made once and kept to the program's end: every list line shares it.
QIcon DriveIcon() {
  static const auto* const icon = new QIcon(QPixmap(kDriveIcon16));
  return *icon;
}

QIcon FolderIcon(bool open) {
  static const auto* const opened = new QIcon(QPixmap(kFolderOpen13));
  static const auto* const closed = new QIcon(QPixmap(kFolderClosed13));
  return open ? *opened : *closed;
}

}  // namespace tavrel::ui
