// A view of the form logic for tests: it records what the form shows, works
// its lists as a user would and answers the questions a test queued.
// Standard library only, so every build compiles it.
#pragma once

#include <array>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "form_converter.h"
#include "form_view.h"
#include "platform.h"
#include "scripted_answers.h"

namespace tavrel::form::testing {

class RecordingView : public FormView {
 public:
  // The form whose handlers the user's actions call.
  void Bind(FormConverter& form) { form_ = &form; }

  // --- The user's actions.
  // A pick in a file list: the selection changes and the click event is
  // raised.  False when the list does not show the name.
  bool Click(List list, const std::string& name) {
    const std::vector<std::string>& names = files_[Index(list)];
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] != name) continue;
      selected_[Index(list)] = static_cast<int>(i);
      if (list == List::kSourceFileList) form_->SourceFileList_Click();
      if (list == List::kDestFileList) form_->DestFileList_Click();
      return true;
    }
    return false;
  }
  // A double click on the line that opens `folder`; false when none does.
  bool OpenLine(List list, const std::string& folder) {
    const std::vector<FolderLine>& lines = lines_[Index(list)];
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].path != folder) continue;
      current_[Index(list)] = static_cast<int>(i);
      form_->Folder_Open(list);
      return true;
    }
    return false;
  }
  // Opens `folder` in a folder list line by line from the root, as a user
  // would; false when a step is not listed or cannot be opened.
  bool GoTo(List list, const std::string& folder) {
    std::string here;
    for (const std::string& step : platform::FolderSteps(platform::FullFolder(folder))) {
      here = here.empty() ? step : JoinPath(here, step);
      if (!OpenLine(list, here)) return false;
    }
    return form_->Path(list) == platform::FullFolder(folder);
  }
  // A pick in the drive list.
  void PickDrive(int drive) {
    selected_drive = drive;
    form_->Drive_Change();
  }

  // --- form::FormView
  void SetLabel(Label label, const std::string& text) override { labels[label] = text; }
  void Repaint() override { ++repaints; }
  void SetEnabled(Control /*control*/, bool enabled) override { conve_salva_enabled = enabled; }
  void SetWindowEnabled(bool enabled) override { window_enabled = enabled; }
  void SetWaitCursor(bool waiting) override {
    waiting_ += waiting ? 1 : -1;
    if (waiting) ++wait_cursors;
  }

  void ShowDrives(const std::vector<std::string>& captions) override { drives = captions; }
  void SelectDrive(int drive) override { selected_drive = drive; }
  int SelectedDrive() const override { return selected_drive; }

  void ShowFolders(List list, const std::vector<FolderLine>& lines, int current) override {
    lines_[Index(list)] = lines;
    current_[Index(list)] = current;
  }
  int CurrentLine(List list) const override { return current_[Index(list)]; }
  void ShowFiles(List list, const std::vector<std::string>& names, int selected,
                 bool keep_place) override {
    files_[Index(list)] = names;
    selected_[Index(list)] = selected;
    if (keep_place) ++refreshes[list];
  }
  int SelectedFile(List list) const override { return selected_[Index(list)]; }
  void SelectFile(List list, int file) override { selected_[Index(list)] = file; }

  std::string DestFileNameText() const override { return dest_file_name; }
  void SetDestFileNameText(const std::string& name) override { dest_file_name = name; }

  // Answered as the test scripted.
  BoxAnswer ShowBox(const Box& box) override {
    if (waiting_ > 0) box_under_wait_cursor = true;
    return script.Answer(box);
  }

  void ShowInfoWindow() override { info_window_open = true; }
  void CloseInfoWindow() override { info_window_open = false; }
  void CloseWindow() override { closed = true; }

  // What a list shows.
  const std::vector<FolderLine>& Lines(List list) const { return lines_[Index(list)]; }
  const std::vector<std::string>& Files(List list) const { return files_[Index(list)]; }
  // The selected file's name; empty when none.
  std::string Selected(List list) const {
    const int file = selected_[Index(list)];
    return file < 0 ? std::string() : files_[Index(list)][static_cast<std::size_t>(file)];
  }

  // What the form showed.
  std::map<Label, std::string> labels;
  int repaints = 0;
  bool conve_salva_enabled = true;  // as a button starts
  bool window_enabled = true;
  int wait_cursors = 0;
  std::map<List, int> refreshes;  // file lists read again in place
  std::vector<std::string> drives;
  int selected_drive = -1;
  std::string dest_file_name;
  tavrel::testing::ScriptedAnswers script;
  std::vector<Box>& boxes = script.shown;
  bool info_window_open = false;
  bool closed = false;

  // What the test sets.
  std::deque<BoxAnswer>& answers = script.answers;

  // Faults the test checks at its end (and script.unexpected_question).
  bool box_under_wait_cursor = false;
  bool waiting() const { return waiting_ != 0; }

 private:
  static std::size_t Index(List list) { return static_cast<std::size_t>(list); }

  FormConverter* form_ = nullptr;
  std::array<std::vector<FolderLine>, 4> lines_;
  std::array<int, 4> current_{-1, -1, -1, -1};
  std::array<std::vector<std::string>, 4> files_;
  std::array<int, 4> selected_{-1, -1, -1, -1};
  int waiting_ = 0;
};

}  // namespace tavrel::form::testing
