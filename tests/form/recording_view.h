// A view of the form logic for tests: it records what the form shows, answers
// the questions a test queued and keeps its lists over real folders, as a
// window's lists do.  Standard library only, so every build compiles it.
#pragma once

#include <array>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "form_converter.h"
#include "form_view.h"

namespace tavrel::form::testing {

class RecordingView : public FormView {
 public:
  // The lists start on `folder`, as a window's lists do before Form_Load.
  explicit RecordingView(const std::string& folder) : drive_folder(folder) { paths_.fill(folder); }

  // The form whose change events the lists raise.
  void Bind(FormConverter& form) { form_ = &form; }

  // A user's pick in a file list: the selection changes and the click event
  // is raised.
  void Click(List list, const std::string& name) {
    selected_[Index(list)] = name;
    if (list == List::kSourceFileList) form_->SourceFileList_Click();
    if (list == List::kDestFileList) form_->DestFileList_Click();
  }

  void SetLabel(Label label, const std::string& text) override { labels[label] = text; }
  void Repaint() override { ++repaints; }
  void SetEnabled(Control /*control*/, bool enabled) override { conve_salva_enabled = enabled; }
  void SetWindowEnabled(bool enabled) override { window_enabled = enabled; }
  void SetWaitCursor(bool waiting) override {
    waiting_ += waiting ? 1 : -1;
    if (waiting) ++wait_cursors;
  }

  std::string DriveRoot() const override { return drive_root; }
  std::string DriveFolder() const override { return drive_folder; }
  void RememberFolder(const std::string& folder) override { remembered.push_back(folder); }
  void UndoDrive() override { ++drive_undos; }

  std::string Path(List list) const override { return paths_[Index(list)]; }
  bool SetPath(List list, const std::string& folder) override {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) return false;
    const bool changed = paths_[Index(list)] != folder;
    paths_[Index(list)] = folder;
    selected_[Index(list)].clear();
    if (changed && list == List::kSourceDir) form_->SourceDir_Change();
    if (changed && list == List::kDestDir) form_->DestDir_Change();
    return true;
  }
  void Refresh(List list) override { ++refreshes[list]; }
  std::string FileName(List list) const override { return selected_[Index(list)]; }

  std::string DestFileNameText() const override { return dest_file_name; }
  void SetDestFileNameText(const std::string& name) override { dest_file_name = name; }

  // OK boxes are answered at once, Yes/No boxes with the queued answers.
  BoxAnswer ShowBox(const Box& box) override {
    boxes.push_back(box);
    if (waiting_ > 0) box_under_wait_cursor = true;
    if (box.buttons == BoxButtons::kOk) return BoxAnswer::kOk;
    if (answers.empty()) {
      unexpected_question = true;
      return BoxAnswer::kNo;
    }
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  void ShowInfoWindow() override { info_window_open = true; }
  void CloseInfoWindow() override { info_window_open = false; }
  void CloseWindow() override { closed = true; }

  // What the form showed.
  std::map<Label, std::string> labels;
  int repaints = 0;
  bool conve_salva_enabled = true;  // as a button starts
  bool window_enabled = true;
  int wait_cursors = 0;
  std::map<List, int> refreshes;
  std::vector<std::string> remembered;
  int drive_undos = 0;
  std::string dest_file_name;
  std::vector<Box> boxes;
  bool info_window_open = false;
  bool closed = false;

  // What the test sets.
  std::string drive_root = "/";
  std::string drive_folder;  // empty: the drive cannot be read
  std::deque<BoxAnswer> answers;

  // Faults the test checks at its end.
  bool unexpected_question = false;
  bool box_under_wait_cursor = false;
  bool waiting() const { return waiting_ != 0; }

 private:
  static std::size_t Index(List list) { return static_cast<std::size_t>(list); }

  FormConverter* form_ = nullptr;
  std::array<std::string, 4> paths_;
  std::array<std::string, 4> selected_;
  int waiting_ = 0;
};

}  // namespace tavrel::form::testing
