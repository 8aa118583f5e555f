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

FormConverter::FormConverter(FormView& view, NumberSettings numbers)
    : view_(view), numbers_(std::move(numbers)) {
  try {
    TemporaryFileOrThrow();  // this copy's own, from the start
  } catch (const RuntimeError&) {
    // Said when an analysis needs it.
  }
}

FormConverter::~FormConverter() = default;

void FormConverter::Form_Load() {
  const std::string folder = view_.DriveFolder();
  if (!folder.empty()) view_.SetPath(List::kSourceDir, folder);
  view_.SetPath(List::kSourceFileList, view_.Path(List::kSourceDir));
  SetReady(false);
}

void FormConverter::Drive_Change() {
  const std::string folder = view_.DriveFolder();
  if (folder.empty()) {
    const std::string drive = view_.DriveRoot();
    view_.UndoDrive();
    Say(Fill(texts::kDriveUnreadable, {drive}));
    return;
  }
  view_.SetPath(List::kSourceDir, folder);  // raises SourceDir_Change when the folder differs
  view_.SetPath(List::kDestDir, folder);    // raises DestDir_Change when the folder differs
  SourceDir_Change();
}

void FormConverter::SourceDir_Change() {
  const std::string folder = view_.Path(List::kSourceDir);
  view_.RememberFolder(folder);
  view_.SetPath(List::kSourceFileList, folder);
  view_.SetPath(List::kDestDir, folder);  // raises DestDir_Change when the folder differs
  DestDir_Change();
}

void FormConverter::SourceFileList_Click() {
  const std::string name = view_.FileName(List::kSourceFileList);
  if (name.empty()) return;
  view_.SetDestFileNameText(ProposedName(name));
  Analizza();
}

void FormConverter::DestDir_Change() {
  view_.SetPath(List::kDestFileList, view_.Path(List::kDestDir));
}

void FormConverter::DestFileList_Click() {
  const std::string name = view_.FileName(List::kDestFileList);
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
  request.folder = view_.Path(List::kSourceFileList);
  request.name = view_.FileName(List::kSourceFileList);
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
  const std::string folder = view_.Path(List::kDestDir);
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
  view_.Refresh(List::kDestFileList);
  if (view_.Path(List::kSourceFileList) == folder) view_.Refresh(List::kSourceFileList);
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
  view_.Refresh(List::kSourceDir);  // a folder gone: its parent opens, and the lists follow
  view_.Refresh(List::kDestDir);
  view_.Refresh(List::kSourceFileList);
  view_.Refresh(List::kDestFileList);
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
