#include "folders.h"

#include <algorithm>
#include <cstdint>

#include "tavrel.h"

namespace tavrel::form {

namespace {

// The next character of `text` at `at`, folded to lower case where it has
// a case (Latin, Greek and Cyrillic letters); a byte that is not UTF-8
// stands for itself after every character.
char32_t NextFolded(const std::string& text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (at + length > text.size()) length = 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) length = 0;
  }
  if (length == 0) return 0x110000 + byte(at++);
  char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
  for (std::size_t i = 1; i < length; ++i)
    c = (c << 6) | (byte(at + i) & 0x3F);
  at += length;
  if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
    return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) return c + 1;
  if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return c + 1;
  return c;
}

}  // namespace

bool ListOrder(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = NextFolded(a, i), y = NextFolded(b, j);
    if (x != y) return x < y;
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;
}

bool ReadListing(const std::string& folder, platform::FolderContents& listing) {
  if (!platform::ReadFolderContents(folder, listing)) return false;
  std::sort(listing.folders.begin(), listing.folders.end(), ListOrder);
  std::sort(listing.files.begin(), listing.files.end(), ListOrder);
  return true;
}

std::vector<FolderLine> FolderLines(const std::string& folder,
                                    const std::vector<std::string>& subfolders) {
  std::vector<FolderLine> lines;
  std::string here;
  int depth = 0;
  for (const std::string& step : platform::FolderSteps(folder)) {
    here = here.empty() ? step : JoinPath(here, step);
    lines.push_back({step, here, depth++, true});
  }
  for (const std::string& name : subfolders)
    lines.push_back({name, JoinPath(folder, name), depth, false});
  return lines;
}

std::string NearestReadable(std::string folder, const std::string& root,
                            const ReadableTest& readable) {
  for (;;) {
    if (readable(folder)) return folder;
    if (folder.size() <= root.size() || !platform::FolderHolds(root, folder)) return {};
    folder = platform::ParentFolder(folder);
  }
}

Drives::Drives(const std::vector<std::string>& roots) {
  if (roots.empty()) {
    volumes_ = platform::Volumes();
  } else {
    for (const std::string& root : roots)
      volumes_.push_back({platform::FullFolder(root), platform::VolumeLabel(root)});
  }
  const std::string current = platform::CurrentFolder();
  const int home = DriveOf(current);
  if (home >= 0) folders_[static_cast<std::size_t>(home)] = current;
}

std::string Drives::Caption(std::size_t drive) const {
  const platform::Volume& volume = volumes_[drive];
  std::string text = volume.root;
  if (text.size() == 3 && text[1] == ':' && text[2] == '\\') {
    // As Windows shows a drive: "c:".
    text.pop_back();
    if (text[0] >= 'A' && text[0] <= 'Z') text[0] = static_cast<char>(text[0] - 'A' + 'a');
  }
  return volume.label.empty() ? text : text + " [" + volume.label + "]";
}

int Drives::DriveOf(const std::string& folder) const {
  int best = -1;
  for (std::size_t i = 0; i < volumes_.size(); ++i) {
    const std::string& root = volumes_[i].root;
    if (platform::FolderHolds(root, folder) &&
        (best < 0 || root.size() > volumes_[static_cast<std::size_t>(best)].root.size()))
      best = static_cast<int>(i);
  }
  return best;
}

std::string Drives::FolderOf(std::size_t drive, const ReadableTest& readable) const {
  const std::string& root = Root(drive);
  if (!platform::VolumeReady(root)) return {};  // no medium, or a network drive gone
  const auto remembered = folders_.find(drive);
  std::string folder = root;
  if (remembered != folders_.end()) {
    folder = remembered->second;
  } else if (root.size() == 3 && root[1] == ':') {
    folder = platform::FullFolder(root.substr(0, 2));  // the drive's own current folder
  }
  // A folder removed since it was left: its nearest parent on the drive.
  return NearestReadable(folder, root, readable);
}

int Drives::Remember(const std::string& folder) {
  const int drive = DriveOf(folder);
  if (drive >= 0) folders_[static_cast<std::size_t>(drive)] = folder;
  return drive;
}

}  // namespace tavrel::form
