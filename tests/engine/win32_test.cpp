// What the platform layer does on Windows only: system error numbers, paths
// with drives, shares and backslashes, names Windows reserves, replacing an
// existing file, names beyond the ANSI code page and sizes beyond 32 bits,
// files that go with the program however it ends.
#include <windows.h>
// After windows.h, which it needs.
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"
#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

// The names in `folder`, as UTF-8.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(
           std::u8string(reinterpret_cast<const char8_t*>(folder.data()), folder.size())))) {
    const std::u8string name = entry.path().filename().u8string();
    names.emplace_back(reinterpret_cast<const char*>(name.data()), name.size());
  }
  return names;
}

TEST(Win32, SystemErrorsMapToFileErrors) {
  const struct {
    DWORD os_error;
    bool path_part;
    int number;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, false, 53},      {ERROR_FILE_NOT_FOUND, true, 76},
      {ERROR_PATH_NOT_FOUND, false, 76},      {ERROR_INVALID_DRIVE, false, 76},
      {ERROR_BAD_NETPATH, false, 76},         {ERROR_ACCESS_DENIED, false, 70},
      {ERROR_SHARING_VIOLATION, false, 70},   {ERROR_WRITE_PROTECT, false, 70},
      {ERROR_DISK_FULL, false, 61},           {ERROR_HANDLE_DISK_FULL, false, 61},
      {ERROR_FILE_EXISTS, false, 58},         {ERROR_ALREADY_EXISTS, false, 58},
      {ERROR_INVALID_NAME, false, 52},        {ERROR_FILENAME_EXCED_RANGE, false, 52},
      {ERROR_TOO_MANY_OPEN_FILES, false, 67}, {ERROR_NOT_READY, false, 57},
      {ERROR_OUTOFMEMORY, false, 7},          {ERROR_INVALID_FUNCTION, false, 75},
      {ERROR_BROKEN_PIPE, false, 57},         {ERROR_NO_DATA, false, 57},
      {ERROR_FILE_TOO_LARGE, false, 61},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FileError(static_cast<int>(c.os_error), c.path_part).number(), c.number)
        << c.os_error;
}

TEST(Win32, PathsWithDrivesSharesAndBothSeparators) {
  const struct {
    const char* path;
    const char* folder;
    const char* name;
  } cases[] = {
      {"dati\\board.pcb", "dati", "board.pcb"},
      {"dati/board.pcb", "dati", "board.pcb"},
      {"board.pcb", ".", "board.pcb"},
      {"C:\\board.pcb", "C:\\", "board.pcb"},
      {"C:/board.pcb", "C:/", "board.pcb"},
      {"C:board.pcb", "C:", "board.pcb"},
      {"C:\\dati\\sub/board.pcb", "C:\\dati\\sub", "board.pcb"},
      {"\\board.pcb", "\\", "board.pcb"},
      {"\\\\server\\share\\board.pcb", "\\\\server\\share", "board.pcb"},
      {"\\\\server\\share\\dati\\board.pcb", "\\\\server\\share\\dati", "board.pcb"},
      {"\\\\?\\C:\\board.pcb", "\\\\?\\C:\\", "board.pcb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(NameOf(c.path), c.name) << c.path;
  }
  EXPECT_EQ(JoinPath("dati", "B.PCB"), "dati\\B.PCB");
  EXPECT_EQ(JoinPath("C:\\", "B.PCB"), "C:\\B.PCB");
  EXPECT_EQ(JoinPath("C:", "B.PCB"), "C:B.PCB");
  EXPECT_EQ(JoinPath("dati/", "B.PCB"), "dati/B.PCB");
  EXPECT_EQ(JoinPath("\\\\server\\share", "B.PCB"), "\\\\server\\share\\B.PCB");
  EXPECT_EQ(ProposedName(NameOf("dati\\b.pcb")), "3_B.PCB");
  EXPECT_EQ(ProposedName(NameOf("Z:\\x\\board.pcb")), "3_BOARD.PCB");
  EXPECT_EQ(ProposedName(NameOf("C:schema.sch")), "3_SCHEMA.SCH");
}

TEST(Win32, TemporaryFileIsInTheUsersTemporaryFolder) {
  const std::string path = TemporaryFilePath();
  EXPECT_EQ(NameOf(path), "PEMBLIX.TMP");
  wchar_t folder[MAX_PATH + 1];
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, folder), 0u);
  EXPECT_TRUE(SameFile(FolderOf(path), fs::path(folder).string())) << path;
}

class Win32FileTest : public SourceFolderTest {};

TEST(Win32, EachRunningCopyHoldsItsOwnTemporaryFile) {
  auto first = std::make_unique<TemporaryFileLease>();
  const std::string held = first->path();
  {
    TemporaryFileLease second;
    EXPECT_NE(second.path(), held);
    EXPECT_EQ(FolderOf(second.path()), FolderOf(held));
    EXPECT_TRUE(NameOf(second.path()).starts_with("PEMBLIX")) << second.path();
  }
  first.reset();
  EXPECT_EQ(TemporaryFileLease().path(), held) << "an ended lease frees its path";
}

TEST_F(Win32FileTest, OnlyRegularFilesTheUserMayWriteAreReplaced) {
  Write("A.PCB", "x");
  fs::create_directory(dir_ + "/FOLDER.PCB");
  EXPECT_EQ(ErrorNumberOf([&] { CheckReplaceable(dir_ + "\\FOLDER.PCB"); }), err::kPathFileAccess);
  SetFileAttributesW(fs::path(dir_ + "\\A.PCB").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ErrorNumberOf([&] { CheckReplaceable(dir_ + "\\A.PCB"); }), err::kPermission);
  SetFileAttributesW(fs::path(dir_ + "\\A.PCB").c_str(), FILE_ATTRIBUTE_NORMAL);
  CheckReplaceable(dir_ + "\\A.PCB");
  CheckReplaceable(dir_ + "\\NONE.PCB");
  EXPECT_EQ(ErrorNumberOf([&] { CheckReplaceable(dir_ + "\\NUL.PCB"); }), err::kBadFileName);
}

TEST(Win32, NumberSettingsFollowTheRegionalSettings) {
  // Wine takes the regional settings from LANG: ./test runs under C.UTF-8
  // and it_IT.UTF-8.
  const char* lang = std::getenv("LANG");
  if (lang == nullptr || (!std::string(lang).starts_with("it_IT") && lang[0] != 'C')) {
    GTEST_SKIP() << "regional settings not known here";
  }
  const NumberSettings numbers = UserNumberSettings();
  const bool italian = std::string(lang).starts_with("it_IT");
  EXPECT_EQ(numbers.decimal, italian ? "," : ".");
  EXPECT_EQ(numbers.thousands, italian ? "." : ",");
}

TEST_F(Win32FileTest, ReservedNamesAndStreamsAreNeverWritten) {
  Write("A.PCB", kH36 + "A\r\n");
  const std::string names[] = {"CON",    "con.pcb", "PRN.SCH",  "aux",      "NUL.TXT", "COM1",
                               "com9.x", "LPT1",    "Lpt9.pcb", "nul .pcb", "a.pcb:s", "x:y"};
  for (const std::string& name : names) {
    const std::string to = dir_ + "\\" + name;
    RecordingSink sink;
    AnalysisRequest request{dir_, "A.PCB", to, kPoint};
    Analizza(request, sink);
    EXPECT_EQ(sink.failed_number, err::kBadFileName) << name;
    EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "\\A.PCB", to); }), err::kBadFileName)
        << name;
    EXPECT_EQ(ErrorNumberOf([&] { NewFile file(to); }), err::kBadFileName) << name;
  }
  EXPECT_EQ(Names(dir_).size(), 2u) << "something was written";
  // Names that only begin like a reserved one are ordinary.
  for (const std::string name : {"CONSOLE.PCB", "COM10", "LPT.SCH", "NULLA.PCB"}) {
    CopyFileReplacing(dir_ + "\\A.PCB", dir_ + "\\" + name);
    EXPECT_TRUE(FileExists(dir_ + "\\" + name)) << name;
  }
}

TEST_F(Win32FileTest, ReplacingAnExistingFileAndKeepingIt) {
  Write("from", "new");
  Write("to", "old");
  CopyFileReplacing(dir_ + "\\from", dir_ + "\\to");
  EXPECT_EQ(Read(dir_ + "/to"), "new");

  {
    // Written as a hidden sibling; put in place only when asked to replace.
    NewFile file(dir_ + "\\to");
    platform::OutputFile output(file);
    output.Write("newer");
    output.Close();
    const std::vector<std::string> names = Names(dir_);
    const auto hidden = std::find_if(names.begin(), names.end(),
                                     [](const std::string& name) { return name.starts_with("."); });
    ASSERT_NE(hidden, names.end());
    EXPECT_NE(GetFileAttributesW(fs::path(dir_ + "\\" + *hidden).c_str()) & FILE_ATTRIBUTE_HIDDEN,
              0u);
    EXPECT_EQ(ErrorNumberOf([&] { file.Place(false); }), err::kFileExists);
    EXPECT_EQ(Read(dir_ + "/to"), "new");
    file.Place(true);
  }
  EXPECT_EQ(Read(dir_ + "/to"), "newer");
  EXPECT_EQ(GetFileAttributesW(fs::path(dir_ + "\\to").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

  // A read-only destination is kept.
  SetFileAttributesW(fs::path(dir_ + "\\to").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "\\from", dir_ + "\\to"); }),
            err::kPermission);
  SetFileAttributesW(fs::path(dir_ + "\\to").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Read(dir_ + "/to"), "newer");
  EXPECT_EQ(Names(dir_).size(), 3u) << "a temporary sibling was left";
}

TEST_F(Win32FileTest, SameFileByVolumeAndIndexWhateverTheSpelling) {
  Write("A.PCB", "x");
  Write("B.PCB", "x");
  EXPECT_TRUE(SameFile(dir_ + "\\A.PCB", dir_ + "/a.pcb"));
  EXPECT_TRUE(SameFile(dir_ + "\\A.PCB", dir_ + "\\.\\A.PCB"));
  EXPECT_FALSE(SameFile(dir_ + "\\A.PCB", dir_ + "\\B.PCB"));
  EXPECT_FALSE(SameFile(dir_ + "\\A.PCB", dir_ + "\\NONE.PCB"));
}

TEST_F(Win32FileTest, NamesBeyondTheAnsiCodePage) {
  // "łódź" and "Ελλάδα": no Western code page holds them.
  Write("A.PCB", kH36 + "A\r\n");
  for (const std::string name : {"\xC5\x82\xC3\xB3\x64\xC5\xBA.sch",
                                 "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.pcb"}) {
    SCOPED_TRACE(name);
    CopyFileReplacing(dir_ + "\\A.PCB", JoinPath(dir_, name));
    const std::vector<std::string> names = Names(dir_);
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
    RecordingSink sink;
    AnalysisRequest request{dir_, name, JoinPath(out_dir_, ProposedName(name)), kPoint};
    EXPECT_TRUE(Analizza(request, sink).converted) << sink.failed_number;
    EXPECT_EQ(sink.label(Label::kFileSize), "Dimensione: 36 bytes");
    EXPECT_EQ(platform::FileLength(request.output_path), 36u);
  }
  const std::vector<std::string> converted = Names(out_dir_);
  // The proposed names hold only what a DOS name can.
  EXPECT_NE(std::find(converted.begin(), converted.end(), "3___D_.SCH"), converted.end());
  EXPECT_NE(std::find(converted.begin(), converted.end(), "3_______.PCB"), converted.end());
}

TEST_F(Win32FileTest, SizesBeyondThirtyTwoBits) {
  // A sparse file of 5 GiB: its length, and its last byte read at a 64-bit
  // offset (a final Ctrl-Z is left out).
  const std::string path = dir_ + "\\BIG.PCB";
  Write("BIG.PCB", "Appunti\r\n");
  {
    const HANDLE file = CreateFileW(fs::path(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 5LL << 30;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, "\x1A", 1, &written, nullptr));
    CloseHandle(file);
  }
  EXPECT_EQ(platform::FileLength(path), (5ULL << 30) + 1);
  RecordingSink sink;
  const AnalysisOutcome outcome = Run("BIG.PCB", sink, kComma);
  EXPECT_FALSE(outcome.failed) << sink.failed_number;
  EXPECT_EQ(outcome.code, 99);
  EXPECT_EQ(sink.label(Label::kFileSize), "Dimensione: 5.368.709.121 bytes");
}

// The child's part of the next test: a hidden sibling and a spool file being
// written when the process is ended hard (no destructor, no handler runs).
TEST(Win32, HardEndChild) {
  const char* dest = std::getenv("TAVREL_HARD_END_DEST");
  if (dest == nullptr) GTEST_SKIP() << "run by HiddenAndSpoolFilesGoWhenTheProgramIsEndedHard";
  auto file = new NewFile(dest);
  auto output = new platform::OutputFile(*file);
  output->Write(std::string(1 << 16, 'x'));
  auto spool = new PrivateFile();
  {
    platform::OutputFile into(spool->path());
    into.Write("spooled");
    into.Close();
  }
  TerminateProcess(GetCurrentProcess(), 3);
}

TEST_F(Win32FileTest, HiddenAndSpoolFilesGoWhenTheProgramIsEndedHard) {
  const std::string temporary = dir_ + "\\tmp";
  fs::create_directory(temporary);
  Write("DEST.PCB", "old");
  // The child's environment: where it writes, and its temporary folder.
  auto variable = [](const wchar_t* name) {
    wchar_t value[MAX_PATH + 1] = L"";
    GetEnvironmentVariableW(name, value, MAX_PATH + 1);
    return std::wstring(value);
  };
  const std::wstring tmp = variable(L"TMP"), temp = variable(L"TEMP");
  SetEnvironmentVariableW(L"TAVREL_HARD_END_DEST", fs::path(dir_ + "\\DEST.PCB").c_str());
  SetEnvironmentVariableW(L"TMP", fs::path(temporary).c_str());
  SetEnvironmentVariableW(L"TEMP", fs::path(temporary).c_str());
  wchar_t self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=Win32.HardEndChild";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  const BOOL started = CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &child);
  SetEnvironmentVariableW(L"TAVREL_HARD_END_DEST", nullptr);
  SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
  SetEnvironmentVariableW(L"TEMP", temp.empty() ? nullptr : temp.c_str());
  ASSERT_TRUE(started);
  WaitForSingleObject(child.hProcess, 60000);
  DWORD code = 0;
  GetExitCodeProcess(child.hProcess, &code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  EXPECT_EQ(code, 3u);
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"DEST.PCB", "out", "tmp"}));
  EXPECT_EQ(Read(dir_ + "/DEST.PCB"), "old");
  EXPECT_EQ(Names(temporary), std::vector<std::string>{});
}

// A spool file is written and read through its path while it is held, and
// is gone with the object; the hidden sibling keeps its content once placed.
TEST_F(Win32FileTest, SpoolFilesAreSharedWhileHeldAndGoneAfter) {
  std::string path;
  {
    PrivateFile spool(dir_ + "\\DEST.PCB");
    path = spool.path();
    EXPECT_TRUE(FileExists(path));
    {
      platform::OutputFile output(path);
      output.Write(kH36 + "A\r\n");
      output.Close();
    }
    RecordingSink sink;
    AnalysisRequest request{FolderOf(path), NameOf(path), out_dir_ + "\\3_A.PCB", kPoint};
    EXPECT_TRUE(Analizza(request, sink).converted) << sink.failed_number;
  }
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"out"}));
  EXPECT_EQ(Names(out_dir_), (std::vector<std::string>{"3_A.PCB"}));
}

}  // namespace
}  // namespace tavrel
