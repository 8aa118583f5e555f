// The main window's form logic driven through a recording view, without any
// toolkit: start-up, the lists, the analysis, the save step, the information
// window and the exit.
#include "form_converter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "files.h"
#include "folders.h"
#include "layout.h"
#include "platform.h"
#include "recording_view.h"
#include "tavrel.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#endif

namespace tavrel::form {
namespace {

namespace fs = std::filesystem;
using testing::RecordingView;

const std::string& kH36 = kDataHeader36;
const std::string& kH40 = kDataHeader40;
const std::string& kH35 = kDataHeader35;

// A path of the engine's bytes as the standard library takes it (UTF-8 on
// Windows, whatever the code page).
fs::path Native(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

class FormConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = platform::FullFolder(NewTemporaryFolder("tavrel-form-"));
    start_ = fs::current_path();
    fs::current_path(home_);  // the program starts in its user's folder
    Restart({home_});
    temp_ = form_->TemporaryFile();
    ASSERT_FALSE(temp_.empty());
    fs::remove_all(temp_);
  }

  void TearDown() override {
    form_.reset();
    std::error_code error;
    fs::current_path(start_, error);
    fs::remove_all(temp_, error);
    fs::remove_all(home_, error);
    EXPECT_FALSE(view_->script.unexpected_question)
        << "a question came that the test did not expect";
    EXPECT_FALSE(view_->box_under_wait_cursor) << "a box came up under the wait cursor";
    EXPECT_FALSE(view_->waiting());
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(Native(Home(name)), std::ios::binary) << bytes;
  }
  std::string Home(const std::string& name) const {
    return platform::FullFolder(JoinPath(home_, name));
  }

  // A new window on these drives, with a new view.
  void Restart(const std::vector<std::string>& drives) {
    form_.reset();
    view_.emplace();
    form_.emplace(*view_, NumberSettings{}, drives);
    view_->Bind(*form_);
  }

  // Form_Load, then a click on a source file.
  void Analyse(const std::string& name) {
    form_->Form_Load();
    EXPECT_TRUE(view_->Click(List::kSourceFileList, name)) << name;
  }

  std::string home_;
  std::string temp_;
  fs::path start_;
  std::optional<RecordingView> view_;
  std::optional<FormConverter> form_;
};

TEST_F(FormConverterTest, StartsOnTheCurrentFolderWithNothingToSave) {
  ASSERT_TRUE(fs::create_directory(Native(Home("sub"))));
  fs::current_path(Native(Home("sub")));
  Restart({home_});
  form_->Form_Load();
  EXPECT_EQ(view_->drives, std::vector<std::string>{home_});
  EXPECT_EQ(view_->selected_drive, 0);
  for (List list : {List::kSourceDir, List::kSourceFileList, List::kDestDir, List::kDestFileList})
    EXPECT_EQ(form_->Path(list), Home("sub"));
  EXPECT_FALSE(view_->conve_salva_enabled);
  EXPECT_FALSE(form_->ready());
  EXPECT_TRUE(view_->labels.empty());
  form_->ConveSalva_Click();  // nothing to save: nothing happens
  EXPECT_TRUE(view_->boxes.empty());
  EXPECT_FALSE(Exists(temp_));
}

TEST_F(FormConverterTest, AnalysisFillsTheLabelsAndSetsTheSaveButton) {
  const struct {
    std::string header, format, outcome;
    bool ready;
  } cases[] = {
      {kH36, "Formato: TAVREL 3.6 per Dos", "Conversione: Rapida (modifica intestazione)", true},
      {kH40, "Formato: TAVREL 4.0 per Windows", "Conversione: Possibile!", true},
      {kH35, "Formato: TAVREL 3.5", "Conversione: File già nel formato 3.5", false},
      {"Hello", "Formato: Sconosciuto / Non convertibile", "Conversione: Non possibile", false},
  };
  // A line of no record family, which every version passes unchanged.
  Write("earlier.pcb", kH36 + "\r\nZ\r\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    Write("file.pcb", c.header + "\r\nZ\r\n");
    Analyse("earlier.pcb");
    EXPECT_TRUE(view_->conve_salva_enabled);
    const int repaints = view_->repaints, cursors = view_->wait_cursors;
    view_->Click(List::kSourceFileList, "file.pcb");
    EXPECT_EQ(view_->labels[Label::kSourceFile], "Nome: file.pcb");
    EXPECT_EQ(view_->labels[Label::kTipoFile], c.format);
    EXPECT_EQ(view_->labels[Label::kConvPreview], c.outcome);
    EXPECT_EQ(view_->labels[Label::kFileSize].rfind("Dimensione: ", 0), 0u);
    EXPECT_GT(view_->labels[Label::kFileDate].size(), 16u);
    EXPECT_EQ(view_->repaints, repaints + 1);
    EXPECT_EQ(view_->wait_cursors, cursors + 1);
    EXPECT_EQ(view_->conve_salva_enabled, c.ready);
    EXPECT_EQ(form_->ready(), c.ready);
    if (c.ready) {
      EXPECT_EQ(ReadFile(temp_), kH35 + "\r\nZ\r\n");
    }
  }
}

TEST_F(FormConverterTest, ClickProposesTheDestinationName) {
  const char* const cases[][2] = {
    {"board.pcb", "3_BOARD.PCB"},
    {"schema01.sch", "3_SCHEMA.SCH"},
    {"x.longext", "3_X.LON"},
    {"a.b.sch", "3_A_B.S"},
    {"n.c", "3_N.C"},
    {"makefile2", "3_MAKEFI"},
#if !defined(_WIN32)
    {"R&D <1>.pcb", "3_R&D__1.PCB"},  // no name on Windows
#endif
    {"space name.pcb", "3_SPACE_.PCB"},
  };
  for (const auto& [file, proposed] : cases)
    Write(file, "x");
  form_->Form_Load();
  for (List list : {List::kSourceFileList, List::kDestFileList}) {
    for (const auto& [file, proposed] : cases) {
      SCOPED_TRACE(file);
      view_->dest_file_name = "TYPED.PCB";
      view_->labels.clear();
      ASSERT_TRUE(view_->Click(list, file));
      EXPECT_EQ(view_->dest_file_name, proposed);
      // Only a source file is analysed.
      EXPECT_EQ(view_->labels.empty(), list == List::kDestFileList);
    }
  }
}

TEST_F(FormConverterTest, ClickingTheSameFileAgainRepeatsTheAnalysis) {
  Write("board.pcb", kH36 + "\r\nA\r\n");
  Analyse("board.pcb");
  ASSERT_TRUE(fs::remove(temp_));
  view_->dest_file_name = "MINE.PCB";
  view_->Click(List::kSourceFileList, "board.pcb");
  EXPECT_EQ(view_->dest_file_name, "3_BOARD.PCB");
  EXPECT_TRUE(Exists(temp_));
  EXPECT_TRUE(view_->conve_salva_enabled);
}

TEST_F(FormConverterTest, FolderChangesMoveTheListsAndKeepTheAnalysis) {
  ASSERT_TRUE(fs::create_directory(Native(Home("sub"))));
  Write("top.pcb", kH36 + "\r\nA\r\n");
  Analyse("top.pcb");
  const std::string sub = Home("sub");

  ASSERT_TRUE(view_->OpenLine(List::kSourceDir, sub));  // the user opens a folder
  for (List list : {List::kSourceFileList, List::kDestDir, List::kDestFileList})
    EXPECT_EQ(form_->Path(list), sub);
  // The last analysis stays on show and can still be saved.
  EXPECT_EQ(view_->labels[Label::kSourceFile], "Nome: top.pcb");
  EXPECT_EQ(view_->dest_file_name, "3_TOP.PCB");
  EXPECT_TRUE(view_->conve_salva_enabled);

  ASSERT_TRUE(view_->OpenLine(List::kDestDir, home_));  // the destination side moves alone
  EXPECT_EQ(form_->Path(List::kDestFileList), home_);
  EXPECT_EQ(form_->Path(List::kSourceDir), sub);

  // A folder removed while the list showed it cannot be opened.
  ASSERT_TRUE(fs::create_directory(Native(Home("gone"))));
  form_->Refresh();
  ASSERT_TRUE(fs::remove(Native(Home("gone"))));
  ASSERT_TRUE(view_->OpenLine(List::kDestDir, Home("gone")));
  EXPECT_EQ(form_->Path(List::kDestDir), home_);
  ASSERT_EQ(view_->boxes.size(), 1u);
  EXPECT_EQ(view_->boxes[0].text.rfind("Impossibile aprire la cartella " + Home("gone"), 0), 0u);
}

TEST_F(FormConverterTest, DriveChangeMovesEveryListOrSaysTheDriveCannotBeRead) {
  ASSERT_TRUE(fs::create_directories(Native(Home("other/deep"))));
  Restart({home_, Home("other"), Home("no medium")});
  form_->Form_Load();
  view_->PickDrive(1);
  for (List list : {List::kSourceDir, List::kSourceFileList, List::kDestDir, List::kDestFileList})
    EXPECT_EQ(form_->Path(list), Home("other"));
  EXPECT_EQ(view_->selected_drive, 1);

  view_->PickDrive(2);
  EXPECT_EQ(view_->selected_drive, 1);  // the drive shown before
  ASSERT_EQ(view_->boxes.size(), 1u);
  EXPECT_EQ(view_->boxes[0].title, "Attenzione!");
  EXPECT_EQ(view_->boxes[0].text.rfind("Impossibile leggere l'unità " + Home("no medium") + ".", 0),
            0u);
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("other"));
}

TEST_F(FormConverterTest, EachDriveRemembersItsLastFolderOrItsNearestReadableParent) {
  for (const char* folder : {"a/work", "a/nested/deep/er", "b"})
    ASSERT_TRUE(fs::create_directories(Native(Home(folder))));
  fs::current_path(Native(Home("a/work")));
  Restart({Home("a"), Home("a/nested"), Home("b")});
  form_->Form_Load();
  EXPECT_EQ(view_->selected_drive, 0);  // the drive of the current folder
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("a/work"));
  view_->PickDrive(2);  // at first a drive's root
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("b"));
  view_->PickDrive(0);
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("a/work"));
  // The innermost drive holding a folder remembers it, and shows.
  ASSERT_TRUE(view_->GoTo(List::kSourceDir, Home("a/nested/deep/er")));
  EXPECT_EQ(view_->selected_drive, 1);
  view_->PickDrive(2);
  // A folder removed meanwhile: its nearest parent that can be read.
  fs::remove_all(Native(Home("a/nested/deep")));
  view_->PickDrive(1);
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("a/nested"));
  EXPECT_EQ(form_->Path(List::kDestFileList), Home("a/nested"));
  EXPECT_TRUE(view_->boxes.empty());
}

TEST_F(FormConverterTest, ListsShowVisibleEntriesSortedAndThePathFromTheRoot) {
  for (const char* name : {"zeta", "Alfa", ".nascosta", "\xc3\x89lan", "beta"})
    ASSERT_TRUE(fs::create_directory(Native(Home(name))));
  for (const char* name : {"c.pcb", "B.SCH", "a.txt", ".hidden", "\xc3\xa0.sch"})
    Write(name, "x");
#if !defined(_WIN32)
  Write("\xff.pcb", "x");  // not UTF-8: a name of bytes
  fs::create_symlink(Home("a.txt"), Home("link"));
  fs::create_symlink(Home("nowhere"), Home("dead"));
  // Reading a pipe would block the window: it is not an ordinary file.
  ASSERT_EQ(mkfifo(Home("pipe").c_str(), 0600), 0);
#endif
  form_->Form_Load();
#if defined(_WIN32)
  const std::vector<std::string> files = {"a.txt", "B.SCH", "c.pcb", "\xc3\xa0.sch"};
#else
  const std::vector<std::string> files = {"a.txt", "B.SCH",        "c.pcb",
                                          "link",  "\xc3\xa0.sch", "\xff.pcb"};
#endif
  EXPECT_EQ(view_->Files(List::kSourceFileList), files);
  EXPECT_EQ(view_->Selected(List::kSourceFileList), "");
  const std::vector<FolderLine>& lines = view_->Lines(List::kSourceDir);
  const std::vector<std::string> steps = platform::FolderSteps(home_);
  ASSERT_EQ(lines.size(), steps.size() + 4);
  std::string path;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    path = path.empty() ? steps[i] : JoinPath(path, steps[i]);
    EXPECT_TRUE(lines[i].name == steps[i] && lines[i].path == path && lines[i].open &&
                lines[i].depth == static_cast<int>(i))
        << lines[i].name;
  }
  EXPECT_EQ(path, home_);
  const std::string subfolders[] = {"Alfa", "beta", "zeta", "\xc3\x89lan"};
  for (std::size_t i = 0; i < std::size(subfolders); ++i) {
    const FolderLine& line = lines[steps.size() + i];
    EXPECT_TRUE(line.name == subfolders[i] && line.path == Home(subfolders[i]) && !line.open &&
                line.depth == static_cast<int>(steps.size()))
        << line.name;
  }
  EXPECT_EQ(view_->CurrentLine(List::kSourceDir), static_cast<int>(steps.size()) - 1);
}

TEST(ListOrderTest, LettersWithoutCaseFirstThenBytes) {
  // Letters past "z" come after it, as their code points do.
  const std::vector<std::string> sorted = {"A",
                                           "a",
                                           "B",
                                           "b1",
                                           "z",
                                           "\xc3\xa0",
                                           "\xc3\x80"
                                           "b",
                                           "\xc3\xa9",
                                           "\xff"};
  for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
    EXPECT_TRUE(ListOrder(sorted[i], sorted[i + 1])) << i;
    EXPECT_FALSE(ListOrder(sorted[i + 1], sorted[i])) << i;
  }
  EXPECT_FALSE(ListOrder("same", "same"));
}

TEST_F(FormConverterTest, RefreshKeepsTheSelectionsAndLeavesAFolderThatIsGone) {
  ASSERT_TRUE(fs::create_directories(Native(Home("sub/inner"))));
  Write("sub/one.pcb", kH36 + "\r\nA\r\n");
  form_->Form_Load();
  ASSERT_TRUE(view_->OpenLine(List::kSourceDir, Home("sub")));
  ASSERT_TRUE(view_->Click(List::kSourceFileList, "one.pcb"));
  ASSERT_TRUE(view_->GoTo(List::kDestDir, Home("sub/inner")));
  Write("sub/new.pcb", "x");
  form_->Refresh();  // F5
  EXPECT_EQ(view_->Files(List::kSourceFileList), (std::vector<std::string>{"new.pcb", "one.pcb"}));
  EXPECT_EQ(view_->Selected(List::kSourceFileList), "one.pcb");
  EXPECT_EQ(view_->refreshes[List::kSourceFileList], 1);
  fs::remove_all(Native(Home("sub/inner")));
  form_->Refresh();  // the destination's folder is gone: its parent opens
  EXPECT_EQ(form_->Path(List::kDestDir), Home("sub"));
  EXPECT_EQ(form_->Path(List::kDestFileList), Home("sub"));
  EXPECT_EQ(form_->Path(List::kSourceDir), Home("sub"));
  EXPECT_TRUE(view_->boxes.empty());
}

TEST_F(FormConverterTest, OpeningAFileDoesWhatAClickDoesAndAFolderOnlyMovesTheLists) {
  ASSERT_TRUE(fs::create_directory(Native(Home("sub"))));
  Write("sub/board.pcb", kH36 + "\r\nA\r\n");
  Write("sub/.hidden.pcb", kH36 + "\r\nA\r\n");
  form_->Form_Load();
  form_->Open(Home("sub"));
  for (List list : {List::kSourceDir, List::kSourceFileList, List::kDestDir, List::kDestFileList})
    EXPECT_EQ(form_->Path(list), Home("sub"));
  EXPECT_FALSE(form_->ready());
  form_->Open(JoinPath("sub", "board.pcb"));  // relative to the current folder
  EXPECT_EQ(view_->Selected(List::kSourceFileList), "board.pcb");
  EXPECT_EQ(view_->dest_file_name, "3_BOARD.PCB");
  EXPECT_TRUE(form_->ready());
  EXPECT_TRUE(view_->boxes.empty());

  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {Home("missing.pcb"), "Il file " + Home("missing.pcb") + " non esiste."},
      {Home("sub/.hidden.pcb"), Home("sub/.hidden.pcb")},
  };
  for (const auto& [path, message] : cases) {
    view_->boxes.clear();
    form_->Open(path);
    ASSERT_EQ(view_->boxes.size(), 1u) << path;
    EXPECT_NE(view_->boxes[0].text.find(message), std::string::npos) << view_->boxes[0].text;
  }
}

TEST_F(FormConverterTest, ADottedNamesProposalIsSavedWithoutAQuestion) {
  // A dot inside the proposed base becomes "_": the proposal is a DOS name.
  Write("a.b.sch", kH36 + "\r\nA\r\n");
  Analyse("a.b.sch");
  EXPECT_EQ(view_->dest_file_name, "3_A_B.S");
  form_->ConveSalva_Click();
  EXPECT_TRUE(view_->boxes.empty());
  EXPECT_TRUE(Exists(Home("3_A_B.S")));
}

TEST_F(FormConverterTest, SaveCopiesTheConversionWithoutAsking) {
  Write("board.pcb", kH36 + "\r\nA\r\nB\r\n");
  Analyse("board.pcb");
  const std::string converted = ReadFile(temp_);
  EXPECT_EQ(converted, kH35 + "\r\nA\r\nB\r\n");
  form_->ConveSalva_Click();
  EXPECT_TRUE(view_->boxes.empty());
  EXPECT_EQ(ReadFile(Home("3_BOARD.PCB")), converted);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_FALSE(view_->conve_salva_enabled);
  // The lists show the new file.
  EXPECT_EQ(view_->refreshes[List::kDestFileList], 1);
  EXPECT_EQ(view_->refreshes[List::kSourceFileList], 1);
  form_->ConveSalva_Click();  // nothing left to save
  EXPECT_TRUE(view_->boxes.empty());
}

TEST_F(FormConverterTest, SaveOverAnExistingFileAsksFirst) {
  for (const bool replace : {false, true}) {
    SCOPED_TRACE(replace);
    Write("board.pcb", kH36 + "\r\nA\r\n");
    Write("3_BOARD.PCB", "old");
    view_->boxes.clear();
    Analyse("board.pcb");
    view_->answers.push_back(replace ? BoxAnswer::kYes : BoxAnswer::kNo);
    form_->ConveSalva_Click();
    ASSERT_EQ(view_->boxes.size(), 1u);
    const Box& box = view_->boxes[0];
    EXPECT_EQ(box.title, "Attenzione!");
    EXPECT_EQ(box.text, "Il file 3_BOARD.PCB esiste già. Lo sovrascrivo?");
    EXPECT_TRUE(box.icon == BoxIcon::kExclamation && box.buttons == BoxButtons::kYesNo);
    EXPECT_TRUE(box.default_answer == BoxAnswer::kYes);
    EXPECT_TRUE(box.cancel_answer == BoxAnswer::kNo);  // Esc keeps the old file
    EXPECT_EQ(ReadFile(Home("3_BOARD.PCB")), replace ? kH35 + "\r\nA\r\n" : "old");
    EXPECT_EQ(Exists(temp_), !replace);
    EXPECT_EQ(view_->conve_salva_enabled, !replace);
  }
}

TEST_F(FormConverterTest, SaveRefusesUnsoundDestinations) {
  const struct {
    std::string name;
    const char* folder;  // "", "temporary" or "removed"
    std::string message;
  } cases[] = {
      {"", "", "Inserire il nome del file"},
      {"   ", "", "Inserire il nome del file"},
      {"A*.PCB", "", "non è un nome di file valido"},
      {"../X.PCB", "", "non è un nome di file valido"},
      {"..", "", "non è un nome di file valido"},
      {"LONGNAME1.PCB", "", "non è nel formato Dos 8+3"},
      {"SUB", "", "è una cartella"},
      {fs::path(temp_).filename().string(), "temporary", "file temporaneo"},
      {"X.PCB", "removed", "non esiste più"},
  };
  Write("board.pcb", kH36 + "\r\nA\r\n");
  ASSERT_TRUE(fs::create_directory(Native(Home("SUB"))));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Analyse("board.pcb");
    const std::string converted = ReadFile(temp_);
    if (c.folder == std::string("temporary")) {
      ASSERT_TRUE(view_->GoTo(List::kDestDir, fs::path(temp_).parent_path().string()));
    } else if (c.folder == std::string("removed")) {
      ASSERT_TRUE(fs::create_directory(Native(Home("old"))));
      form_->Refresh();
      ASSERT_TRUE(view_->OpenLine(List::kDestDir, Home("old")));
      ASSERT_TRUE(fs::remove(Native(Home("old"))));
    }
    const auto entries = std::distance(fs::directory_iterator(home_), fs::directory_iterator());
    view_->dest_file_name = c.name;
    view_->boxes.clear();
    if (c.message.find("8+3") != std::string::npos) view_->answers.push_back(BoxAnswer::kNo);
    form_->ConveSalva_Click();

    ASSERT_EQ(view_->boxes.size(), 1u);
    EXPECT_NE(view_->boxes[0].text.find(c.message), std::string::npos) << view_->boxes[0].text;
    EXPECT_EQ(ReadFile(temp_), converted);  // the conversion can still be saved
    EXPECT_TRUE(view_->conve_salva_enabled);
    EXPECT_EQ(std::distance(fs::directory_iterator(home_), fs::directory_iterator()), entries);
    ASSERT_TRUE(view_->GoTo(List::kDestDir, home_));
  }
}

#if !defined(_WIN32)
TEST_F(FormConverterTest, SaveNeverReplacesWhatIsNotAFile) {
  Write("board.pcb", kH36 + "\r\nA\r\n");
  for (const bool device : {false, true}) {
    SCOPED_TRACE(device);
    if (device && geteuid() != 0) continue;  // only root may make a device
    const std::string node = Home("3_BOARD.PCB");
    fs::remove(node);
    ASSERT_EQ(
        device ? mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 3)) : mkfifo(node.c_str(), 0600),
        0);
    view_->boxes.clear();
    Analyse("board.pcb");
    const std::string converted = ReadFile(temp_);
    view_->answers.push_back(BoxAnswer::kYes);  // were it asked
    form_->ConveSalva_Click();
    ASSERT_EQ(view_->boxes.size(), 1u);
    EXPECT_NE(view_->boxes[0].text.find("non è un file ordinario"), std::string::npos)
        << view_->boxes[0].text;
    view_->answers.clear();
    struct stat st;
    ASSERT_EQ(lstat(node.c_str(), &st), 0);
    EXPECT_TRUE(device ? S_ISCHR(st.st_mode) : S_ISFIFO(st.st_mode));
    EXPECT_EQ(ReadFile(temp_), converted);
    EXPECT_TRUE(view_->conve_salva_enabled);
  }
}
#endif

TEST_F(FormConverterTest, TwoRunningCopiesKeepTheirOwnConversions) {
  Write("a40.pcb", kH40 + "\r\n5 a\r\n");
  ASSERT_TRUE(fs::create_directory(Native(Home("b"))));
  Write("b/b36.pcb", kH36 + "\r\nB\r\n");
  Analyse("a40.pcb");
  {
    // Another copy of the program, working in another folder.
    fs::current_path(Native(Home("b")));
    RecordingView other_view;
    FormConverter other(other_view, NumberSettings{}, {home_});
    other_view.Bind(other);
    ASSERT_NE(other.TemporaryFile(), temp_);
    other.Form_Load();
    ASSERT_TRUE(other_view.Click(List::kSourceFileList, "b36.pcb"));
    EXPECT_TRUE(Exists(other.TemporaryFile()));
    // The other copy's exit leaves this window's conversion alone.
    other.Exit_Click();
    EXPECT_TRUE(other_view.boxes.empty());
  }
  form_->ConveSalva_Click();
  EXPECT_TRUE(view_->boxes.empty());
  EXPECT_EQ(ReadFile(Home("3_A40.PCB")), kH35 + "\r\n5 a\r\n");
}

TEST_F(FormConverterTest, ANameThatIsNot83IsSavedWhenTheUserInsists) {
  Write("board.pcb", kH36 + "\r\nA\r\n");
  Analyse("board.pcb");
  view_->dest_file_name = " scheda lunga.pcb ";
  view_->answers.push_back(BoxAnswer::kYes);
  form_->ConveSalva_Click();
  ASSERT_EQ(view_->boxes.size(), 1u);
  EXPECT_TRUE(view_->boxes[0].default_answer == BoxAnswer::kNo);
  EXPECT_TRUE(view_->boxes[0].cancel_answer == BoxAnswer::kNo);
  EXPECT_TRUE(Exists(Home("scheda lunga.pcb")));
  EXPECT_FALSE(Exists(temp_));
}

TEST_F(FormConverterTest, InfoWindowDisablesTheMainWindowUntilItCloses) {
  for (int round = 0; round < 2; ++round) {
    form_->Info_Click();
    EXPECT_TRUE(view_->info_window_open && form_->info_window_open());
    EXPECT_FALSE(view_->window_enabled);
    if (round == 0) {
      form_->ButtInfoOk_Click();
    } else {
      view_->info_window_open = false;  // closed by its title bar
      form_->InfoWindow_Closed();
    }
    EXPECT_FALSE(view_->info_window_open || form_->info_window_open());
    EXPECT_TRUE(view_->window_enabled);
  }
  form_->Info_Click();
  form_->Exit_Click();  // the main window's end closes it too
  EXPECT_FALSE(view_->info_window_open);
  EXPECT_TRUE(view_->closed);
}

TEST_F(FormConverterTest, TheTitleBarsCloseIsIgnoredWhileTheInfoWindowIsOpen) {
  Write("board.pcb", kH36 + "\r\nA\r\n");
  Analyse("board.pcb");
  form_->Info_Click();
  EXPECT_FALSE(form_->Form_QueryUnload());
  EXPECT_TRUE(view_->info_window_open && form_->info_window_open());
  EXPECT_TRUE(Exists(temp_));
  EXPECT_FALSE(view_->closed);
  form_->ButtInfoOk_Click();
  EXPECT_TRUE(form_->Form_QueryUnload());  // now the window may close
  EXPECT_FALSE(Exists(temp_));
  EXPECT_TRUE(view_->boxes.empty());
}

TEST(LayoutTest, TheInfoWindowOpensCentredOnTheMainWindowAndOnTheScreen) {
  const layout::Rect screen{0, 0, 1024, 768};
  const struct {
    layout::Rect over;
    layout::Rect expected;  // a 300 x 250 window
  } cases[] = {
      {{100, 100, 480, 400}, {190, 175, 300, 250}},
      {{-200, 50, 480, 400}, {0, 125, 300, 250}},     // main window half off the left
      {{800, 600, 480, 400}, {724, 518, 300, 250}},   // off the bottom right
      {{10, 10, 100, 100}, {0, 0, 300, 250}},         // a small window in the corner
      {{1124, 100, 480, 400}, {724, 175, 300, 250}},  // all off the screen
  };
  for (const auto& [over, expected] : cases) {
    EXPECT_TRUE(layout::CentredOn(over, 300, 250, screen) == expected)
        << over.left << "," << over.top;
  }
  // A window larger than the screen shows its top-left corner.
  EXPECT_TRUE(
      (layout::CentredOn({0, 0, 100, 100}, 2000, 1000, screen) == layout::Rect{0, 0, 2000, 1000}));
}

TEST_F(FormConverterTest, ExitDeletesTheTemporaryFileAndCloses) {
  Write("board.pcb", kH36 + "\r\nA\r\n");
  for (const bool pending : {false, true}) {
    SCOPED_TRACE(pending);
    Restart({home_});
    if (pending) Analyse("board.pcb");
    EXPECT_EQ(Exists(temp_), pending);
    form_->Exit_Click();
    EXPECT_TRUE(view_->closed);
    EXPECT_FALSE(Exists(temp_));
    EXPECT_TRUE(view_->boxes.empty());
    form_->Form_Unload();  // the window's own close after Exit: nothing more
    EXPECT_TRUE(view_->boxes.empty());
  }
}

TEST_F(FormConverterTest, ExitSaysSoWhenTheTemporaryFileCannotBeDeleted) {
  ASSERT_TRUE(fs::create_directory(temp_));
  std::ofstream(JoinPath(temp_, "inside")) << "x";
  form_->Exit_Click();
  ASSERT_EQ(view_->boxes.size(), 1u);
  EXPECT_NE(view_->boxes[0].text.find(temp_), std::string::npos);
  EXPECT_TRUE(view_->closed);
}

TEST_F(FormConverterTest, AnalysisErrorReportsAndEndsTheProgram) {
  std::string wide = "4";
  for (int field = 2; field <= 101; ++field)
    wide += " 1";
  Write("bad.pcb", kH40 + "\r\n" + wide + "\r\n");
  Analyse("bad.pcb");
  ASSERT_EQ(view_->boxes.size(), 1u);
  const Box& box = view_->boxes[0];
  EXPECT_EQ(box.title, "Errore!");
  EXPECT_TRUE(box.icon == BoxIcon::kCritical && box.buttons == BoxButtons::kOk);
  EXPECT_EQ(box.text.rfind("Si è verificato l'errore  9 = ", 0), 0u) << box.text;
  EXPECT_TRUE(box.text.ends_with("\nIl programma verrà terminato"));
  EXPECT_EQ(box.text.find('\r'), std::string::npos);
  EXPECT_FALSE(Exists(temp_));
  EXPECT_TRUE(view_->closed);
}

}  // namespace
}  // namespace tavrel::form
