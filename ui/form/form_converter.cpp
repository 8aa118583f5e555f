#include "form_converter.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "texts.h"

namespace tavrel::form {

namespace {

using texts::Fill;

constexpr std::string_view kBlanks = " \t\n\v\f\r";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The characters no file name can hold here or on the target system.
bool IsValidFileName(const std::string& name) {
  if (name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f ||
           std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos;
  });
}

bool IsDosCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("!#$%&'()@^_`{}~-").find(c) != std::string_view::npos;
}

bool IsDosPart(std::string_view part, std::size_t longest) {
  return !part.empty() && part.size() <= longest &&
         std::all_of(part.begin(), part.end(), IsDosCharacter);
}

// A name of 1 to 8 characters, then optionally a dot and 1 to 3 more.
bool IsDosName(std::string_view name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return IsDosPart(name, 8);
  return IsDosPart(name.substr(0, dot), 8) && IsDosPart(name.substr(dot + 1), 3);
}

// `text` with each CR turned into the line break of a message.
std::string MessageLines(std::string text) {
  std::replace(text.begin(), text.end(), '\r', '\n');
  return text;
}

}  // namespace

// Binds the analysis' results to the view.  The analysis runs inside the
// click, so the wait cursor shows while the sink lives.
class FormConverter::Sink : public AnalysisSink {
 public:
  explicit Sink(FormConverter& form) : form_(form) { form_.view_.SetWaitCursor(true); }
  ~Sink() override { RestoreCursor(); }
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;

  void SetLabel(Label label, const std::string& text) override {
    form_.view_.SetLabel(label, text);
  }
  void Repaint() override { form_.view_.Repaint(); }
  void SetReady(bool ready) override { form_.SetReady(ready); }
  void Failed(const RuntimeError& error, std::uint64_t /*line*/) override {
    RestoreCursor();  // the message waits for the user
    form_.ShowAnalysisError(error);
  }

 private:
  void RestoreCursor() {
    if (!waiting_) return;
    waiting_ = false;
    form_.view_.SetWaitCursor(false);
  }

  FormConverter& form_;
  bool waiting_ = true;
};

// While the outermost one lives (one user action), each folder is read once
// for all the lists that show it.
class FormConverter::Batch {
 public:
  explicit Batch(FormConverter& form) : form_(form) { ++form_.batch_; }
  ~Batch() {
    if (--form_.batch_ > 0) return;
    form_.listed_ = false;
    form_.listing_ = {};
  }
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;

 private:
  FormConverter& form_;
};

FormConverter::FormConverter(FormView& view, NumberSettings numbers,
                             const std::vector<std::string>& drives)
    : view_(view), numbers_(std::move(numbers)), drives_(drives) {
  try {
    TemporaryFileOrThrow();  // this copy's own, from the start
  } catch (const RuntimeError&) {
    // Said when an analysis needs it.
  }
}

FormConverter::~FormConverter() = default;

void FormConverter::Form_Load() {
  const Batch batch(*this);
  std::vector<std::string> captions;
  for (std::size_t i = 0; i < drives_.size(); ++i)
    captions.push_back(drives_.Caption(i));
  view_.ShowDrives(captions);
  std::string folder = platform::CurrentFolder();
  drive_ = drives_.DriveOf(folder);
  view_.SelectDrive(drive_);
  if (drive_ >= 0) {
    const std::string readable = drives_.FolderOf(static_cast<std::size_t>(drive_), Readable());
    if (!readable.empty()) folder = readable;
  }
  for (List list : {List::kSourceDir, List::kDestDir, List::kSourceFileList, List::kDestFileList}) {
    State(list).path = folder;  // kept even when it cannot be read
    SetPath(list, folder);
  }
  RememberFolder(State(List::kSourceDir).path);
  SetReady(false);
}

void FormConverter::Drive_Change() {
  const Batch batch(*this);
  const int picked = view_.SelectedDrive();
  if (picked < 0 || picked == drive_) return;
  const std::string folder = drives_.FolderOf(static_cast<std::size_t>(picked), Readable());
  if (folder.empty()) {
    view_.SelectDrive(drive_);
    Say(Fill(texts::kDriveUnreadable, {drives_.Root(static_cast<std::size_t>(picked))}));
    return;
  }
  drive_ = picked;
  SetPath(List::kSourceDir, folder);  // raises SourceDir_Change when the folder differs
  SetPath(List::kDestDir, folder);    // raises DestDir_Change when the folder differs
  SourceDir_Change();
}

void FormConverter::SourceDir_Change() {
  const Batch batch(*this);
  const std::string folder = State(List::kSourceDir).path;
  RememberFolder(folder);
  SetPath(List::kSourceFileList, folder);
  SetPath(List::kDestDir, folder);  // raises DestDir_Change when the folder differs
  DestDir_Change();
}

void FormConverter::RememberFolder(const std::string& folder) {
  const int drive = drives_.Remember(folder);
  if (drive < 0) return;
  drive_ = drive;
  view_.SelectDrive(drive);
}

void FormConverter::Folder_Open(List list) {
  const Batch batch(*this);
  const int line = view_.CurrentLine(list);
  const std::vector<FolderLine>& lines = State(list).lines;
  if (line < 0 || static_cast<std::size_t>(line) >= lines.size()) return;
  const std::string folder = lines[static_cast<std::size_t>(line)].path;
  if (!SetPath(list, folder)) FolderOpenFailed(folder);
}

void FormConverter::Open(const std::string& path) {
  const Batch batch(*this);
  // Looked up by its bytes, as a click's name is.
  const bool folder = IsFolder(path);
  if (!folder && !FileExists(path)) {
    Say(Fill(texts::kOpenMissing, {path}));
    return;
  }
  const std::string full = platform::FullFolder(path);
  if (!OpenSourceFolder(folder ? full : platform::ParentFolder(full)) || folder) return;
  const std::string name = NameOf(full);
  const std::vector<std::string>& files = State(List::kSourceFileList).files;
  auto found = std::find(files.begin(), files.end(), name);
  if (found == files.end()) {  // a name the system matched in another case
    found = std::find_if(files.begin(), files.end(), [&](const std::string& file) {
      return platform::SameFolderText(file, name);
    });
  }
  if (found == files.end()) {
    Say(Fill(texts::kOpenNotListed, {full}));
    return;
  }
  view_.SelectFile(List::kSourceFileList, static_cast<int>(found - files.begin()));
  SourceFileList_Click();
}

bool FormConverter::OpenSourceFolder(const std::string& folder) {
  // As the user opening it: the drive and the destination lists follow.
  if (platform::SameFolderText(folder, State(List::kSourceDir).path)) {
    SourceDir_Change();
    return true;
  }
  if (SetPath(List::kSourceDir, folder)) return true;  // raised SourceDir_Change
  FolderOpenFailed(folder);
  return false;
}

const platform::FolderContents* FormConverter::ListingOf(const std::string& folder) {
  if (listed_ && listed_folder_ == folder) return &listing_;
  platform::FolderContents fresh;
  if (!ReadListing(folder, fresh)) return nullptr;
  listing_ = std::move(fresh);
  listed_folder_ = folder;
  listed_ = batch_ > 0;  // kept only while a batch lives
  return &listing_;
}

ReadableTest FormConverter::Readable() {
  return [this](const std::string& folder) { return ListingOf(folder) != nullptr; };
}

bool FormConverter::SetPath(List list, const std::string& folder) {
  const std::string clean = platform::FullFolder(folder);
  const platform::FolderContents* listing = ListingOf(clean);
  if (listing == nullptr) return false;
  ListState& state = State(list);
  const bool changed = state.path != clean;
  state.path = clean;
  if (list == List::kSourceFileList || list == List::kDestFileList) {
    state.files = listing->files;
    view_.ShowFiles(list, state.files, -1, false);
    return true;
  }
  state.lines = FolderLines(clean, listing->folders);
  view_.ShowFolders(list, state.lines, static_cast<int>(platform::FolderSteps(clean).size()) - 1);
  if (changed) {  // the list's change event, at once
    if (list == List::kSourceDir) {
      SourceDir_Change();
    } else {
      DestDir_Change();
    }
  }
  return true;
}

void FormConverter::Refresh(List list) {
  ListState& state = State(list);
  if (list == List::kSourceFileList || list == List::kDestFileList) {
    const std::string selected = FileName(list);
    const platform::FolderContents* listing = ListingOf(state.path);
    if (listing == nullptr) return;
    state.files = listing->files;
    const auto found = std::find(state.files.begin(), state.files.end(), selected);
    view_.ShowFiles(list, state.files,
                    selected.empty() || found == state.files.end()
                        ? -1
                        : static_cast<int>(found - state.files.begin()),
                    true);
    return;
  }
  const platform::FolderContents* listing = ListingOf(state.path);
  if (listing == nullptr) {
    // Gone: its nearest parent that can be read opens, as a user's pick.
    const std::string parent = NearestReadable(platform::ParentFolder(state.path),
                                               platform::RootOf(state.path), Readable());
    if (!parent.empty()) SetPath(list, parent);
    return;
  }
  const int line = view_.CurrentLine(list);
  const std::string current = line >= 0 && static_cast<std::size_t>(line) < state.lines.size()
                                  ? state.lines[static_cast<std::size_t>(line)].path
                                  : state.path;
  state.lines = FolderLines(state.path, listing->folders);
  int shown = static_cast<int>(platform::FolderSteps(state.path).size()) - 1;
  for (std::size_t i = 0; i < state.lines.size(); ++i) {
    if (state.lines[i].path == current) shown = static_cast<int>(i);
  }
  view_.ShowFolders(list, state.lines, shown);
}

std::string FormConverter::FileName(List list) const {
  const int file = view_.SelectedFile(list);
  const std::vector<std::string>& files = State(list).files;
  return file >= 0 && static_cast<std::size_t>(file) < files.size()
             ? files[static_cast<std::size_t>(file)]
             : std::string();
}

void FormConverter::SourceFileList_Click() {
  const Batch batch(*this);
  const std::string name = FileName(List::kSourceFileList);
  if (name.empty()) return;
  view_.SetDestFileNameText(ProposedName(name));
  Analizza();
}

void FormConverter::DestDir_Change() {
  const Batch batch(*this);
  SetPath(List::kDestFileList, State(List::kDestDir).path);
}

void FormConverter::DestFileList_Click() {
  const std::string name = FileName(List::kDestFileList);
  if (!name.empty()) view_.SetDestFileNameText(ProposedName(name));
}

void FormConverter::Analizza() {
  AnalysisRequest request;
  try {
    request.output_path = TemporaryFileOrThrow();
  } catch (const RuntimeError& error) {
    ShowAnalysisError(error);
    return;
  }
  Sink sink(*this);
  // The folder the clicked name was listed from.
  request.folder = State(List::kSourceFileList).path;
  request.name = FileName(List::kSourceFileList);
  request.numbers = numbers_;
  tavrel::Analizza(request, sink);
}

void FormConverter::ShowAnalysisError(const RuntimeError& error) {
  view_.ShowBox({texts::kErrorTitle, MessageLines(ComposeErrorMessage(error)), BoxIcon::kCritical,
                 BoxButtons::kOk});
  Exit_Click();
}

void FormConverter::SetReady(bool ready) {
  ready_ = ready;
  view_.SetEnabled(Control::kConveSalva, ready);
}

void FormConverter::ConveSalva_Click() {
  if (!ready_) return;
  const std::string name = Trimmed(view_.DestFileNameText());
  if (!AcceptDestinationName(name)) return;
  const std::string folder = State(List::kDestDir).path;
  if (!IsFolder(folder)) {
    Say(Fill(texts::kFolderMissing, {folder}));
    return;
  }
  const std::string target = JoinPath(folder, name);
  std::string temporary;
  try {
    temporary = TemporaryFileOrThrow();
  } catch (const RuntimeError& error) {
    Say(Fill(texts::kSaveFailed, {name, error.description(), std::to_string(error.number())}));
    return;
  }
  if (!FileExists(temporary)) {
    SetReady(false);
    Say(texts::kTemporaryGone);
    return;
  }
  if (target == temporary || SameFile(target, temporary)) {
    Say(texts::kTargetIsTemporary);
    return;
  }
  if (IsFolder(target)) {
    Say(Fill(texts::kTargetIsFolder, {target}));
    return;
  }
  const auto say_failed = [&](const RuntimeError& error) {
    Say(Fill(texts::kSaveFailed, {target, error.description(), std::to_string(error.number())}));
  };
  try {
    CheckReplaceable(target);  // a device or a pipe is not asked about
  } catch (const RuntimeError& error) {
    say_failed(error);
    return;
  }
  if (FileExists(target) &&
      Ask(Fill(texts::kOverwrite, {name}), BoxAnswer::kYes) != BoxAnswer::kYes)
    return;
  try {
    CopyFileReplacing(temporary, target);
  } catch (const RuntimeError& error) {
    say_failed(error);
    return;
  }
  try {
    DeleteFileIfExists(temporary);
  } catch (const RuntimeError& error) {
    Say(Fill(texts::kTemporaryKept, {temporary, error.description()}));
  }
  SetReady(false);
  // Show the new file without touching the selections.
  const Batch batch(*this);
  Refresh(List::kDestFileList);
  if (State(List::kSourceFileList).path == folder) Refresh(List::kSourceFileList);
}

bool FormConverter::AcceptDestinationName(const std::string& name) {
  if (name.empty()) {
    Say(texts::kNameMissing);
    return false;
  }
  if (!IsValidFileName(name)) {
    Say(Fill(texts::kNameInvalid, {name}));
    return false;
  }
  // The file is for a DOS program: a longer name is allowed, after a warning.
  return IsDosName(name) ||
         Ask(Fill(texts::kNameNotDos, {name}), BoxAnswer::kNo) == BoxAnswer::kYes;
}

void FormConverter::Info_Click() {
  view_.SetWindowEnabled(false);
  info_window_open_ = true;
  view_.ShowInfoWindow();
}

void FormConverter::ButtInfoOk_Click() {
  InfoWindow_Closed();
  view_.CloseInfoWindow();
}

void FormConverter::InfoWindow_Closed() {
  info_window_open_ = false;
  view_.SetWindowEnabled(true);
}

bool FormConverter::Form_QueryUnload() {
  if (info_window_open_) return false;
  Form_Unload();
  return true;
}

void FormConverter::Exit_Click() {
  Form_Unload();
  view_.CloseWindow();
}

void FormConverter::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (info_window_open_) {
    info_window_open_ = false;
    view_.CloseInfoWindow();
  }
  DeleteTemporaryFile();
}

void FormConverter::Refresh() {
  const Batch batch(*this);
  Refresh(List::kSourceDir);  // a folder gone: its parent opens, and the lists follow
  Refresh(List::kDestDir);
  Refresh(List::kSourceFileList);
  Refresh(List::kDestFileList);
}

void FormConverter::FolderOpenFailed(const std::string& folder) {
  Say(Fill(texts::kFolderUnreadable, {folder}));
}

void FormConverter::DeleteTemporaryFile() {
  if (!temporary_file_) return;  // no place for it, so no file
  const std::string path = temporary_file_->path();
  try {
    DeleteFileIfExists(path);
  } catch (const RuntimeError& error) {
    Say(Fill(texts::kTemporaryNotDeleted, {path, error.description()}));
  }
}

void FormConverter::Say(const std::string& text, BoxIcon icon) {
  view_.ShowBox({texts::kWarningTitle, text, icon, BoxButtons::kOk});
}

BoxAnswer FormConverter::Ask(const std::string& text, BoxAnswer default_answer) {
  // Esc answers No: nothing changes.
  return view_.ShowBox({texts::kWarningTitle, text, BoxIcon::kExclamation, BoxButtons::kYesNo,
                        default_answer, BoxAnswer::kNo});
}

std::string FormConverter::TemporaryFile() {
  try {
    return TemporaryFileOrThrow();
  } catch (const RuntimeError&) {
    return {};
  }
}

const std::string& FormConverter::TemporaryFileOrThrow() {
  if (!temporary_file_) temporary_file_ = std::make_unique<TemporaryFileLease>();
  return temporary_file_->path();
}

}  // namespace tavrel::form
