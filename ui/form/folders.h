// What the drive, folder and file lists show, written once for every
// window: which entries a list holds and in which order, the lines of a
// folder list, and each drive's last folder.  The file system is reached
// through the engine's platform layer.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace tavrel::form {

// Whether `a` comes before `b` in a list: letters compared without regard to
// case first, then the names' bytes.
bool ListOrder(const std::string& a, const std::string& b);

// A folder's visible subfolders and ordinary files, each sorted by
// ListOrder.  False when the folder cannot be read.
bool ReadListing(const std::string& folder, platform::FolderContents& listing);

// One line of a folder list.
struct FolderLine {
  std::string name;   // as shown: a step of the path, or a subfolder's name
  std::string path;   // the folder the line opens
  int depth = 0;      // the indent
  bool open = false;  // one of the path's folders (drawn open), not a subfolder
};

// The path's folders from the root down, then the subfolders of the last.
std::vector<FolderLine> FolderLines(const std::string& folder,
                                    const std::vector<std::string>& subfolders);

// Whether a folder can be read; the form answers it from the listing it
// keeps, so that a large folder is not read once more only to know that.
using ReadableTest = std::function<bool(const std::string&)>;

// `folder`, or when it cannot be read its nearest parent that can, not above
// `root`; empty when none can.
std::string NearestReadable(std::string folder, const std::string& root,
                            const ReadableTest& readable);

// The drives the drive list shows; each remembers the last folder opened on
// it: at first the current folder for its own drive, the root for the others.
class Drives {
 public:
  // `roots` empty: the machine's volumes (platform::Volumes).
  explicit Drives(const std::vector<std::string>& roots = {});

  std::size_t size() const { return volumes_.size(); }
  const std::string& Root(std::size_t drive) const { return volumes_[drive].root; }
  // The line that shows it: "c: [LABEL]" for a drive letter, else the root
  // and its label.
  std::string Caption(std::size_t drive) const;
  // The innermost drive holding `folder`; -1 when none does.
  int DriveOf(const std::string& folder) const;
  // The folder to open on the drive: the one remembered, or its nearest
  // readable parent on the drive; empty when the drive cannot be read.
  std::string FolderOf(std::size_t drive, const ReadableTest& readable) const;
  // The drive holding `folder` remembers it; returns that drive (or -1).
  int Remember(const std::string& folder);

 private:
  std::vector<platform::Volume> volumes_;
  std::map<std::size_t, std::string> folders_;
};

}  // namespace tavrel::form
