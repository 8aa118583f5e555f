// Resource numbers of the Win32 window's pictures.
#pragma once

#define kIconWindow 1
#define kIconFennok 2
#define kIconDrive 3
#define kIconFolderOpen 4
#define kIconFolderClosed 5
