// The file objects the save step and tavconv share: a new file put in place
// (never over what is not a regular file, never leaving debris, even when a
// signal ends the program), the private temporary file of each running copy.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform.h"
#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

class FilesTest : public SourceFolderTest {
 protected:
  void TearDown() override {
    platform::AllowUnnamedFiles(true);
    SourceFolderTest::TearDown();
  }
  std::vector<std::string> Names(const std::string& folder) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Writes `bytes` into a NewFile for `to` and places it.
  void Place(const std::string& to, const std::string& bytes, bool replace) {
    NewFile file(to);
    platform::OutputFile output(file);
    output.Write(bytes);
    output.Close();
    file.Place(replace);
  }
};

TEST_F(FilesTest, OnlyRegularFilesAndLinksAreReplaced) {
  const std::string fifo = dir_ + "/fifo", device = dir_ + "/device", folder = dir_ + "/folder",
                    socket_path = dir_ + "/socket", locked = dir_ + "/locked";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A device node of our own (only root may make one; else a second pipe).
  if (mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    ASSERT_EQ(mkfifo(device.c_str(), 0600), 0);
  }
  fs::create_directory(folder);
  const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  Write("locked", "old");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  for (bool unnamed : {true, false}) {
    platform::AllowUnnamedFiles(unnamed);
    const struct {
      std::string to;
      int error;
    } cases[] = {{fifo, err::kPathFileAccess},
                 {device, err::kPathFileAccess},
                 {socket_path, err::kPathFileAccess},
                 {folder, err::kPathFileAccess},
                 {locked, err::kPermission}};
    for (const auto& c : cases) {
      EXPECT_EQ(ErrorNumberOf([&] { CheckReplaceable(c.to); }), c.error) << c.to;
      EXPECT_EQ(ErrorNumberOf([&] { Place(c.to, "new", true); }), c.error) << c.to;
      EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(locked, c.to); }), c.error) << c.to;
    }
  }
  close(sock);
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_character_file(device) || fs::is_fifo(device));
  EXPECT_TRUE(fs::is_socket(socket_path));
  EXPECT_TRUE(fs::is_empty(folder));
  EXPECT_EQ(Read(locked), "old");
  EXPECT_EQ(Names(dir_),
            (std::vector<std::string>{"device", "fifo", "folder", "locked", "out", "socket"}));
}

TEST_F(FilesTest, ReplacingKeepsModeAndGroupAndALinksTarget) {
  for (bool unnamed : {true, false}) {
    platform::AllowUnnamedFiles(unnamed);
    const std::string file = dir_ + "/file", link = dir_ + "/link", target = dir_ + "/target";
    Write("file", "old");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    const gid_t group = geteuid() == 0 ? 65534 : getegid();
    ASSERT_EQ(chown(file.c_str(), static_cast<uid_t>(-1), group), 0);
    Place(file, "new", true);
    struct stat st;
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(Read(file), "new");

    Write("target", "keep");
    fs::create_symlink(target, link);
    Place(link, "new", true);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(link)));
    EXPECT_EQ(Read(target), "keep");

    // Without replacing, an existing file stays as it was.
    EXPECT_EQ(ErrorNumberOf([&] { Place(target, "new", false); }), err::kFileExists);
    EXPECT_EQ(Read(target), "keep");
    EXPECT_EQ(Names(dir_), (std::vector<std::string>{"file", "link", "out", "target"}));
    fs::remove(file), fs::remove(link), fs::remove(target);
  }
}

TEST_F(FilesTest, LongestNamesArePlaced) {
  for (bool unnamed : {true, false}) {
    platform::AllowUnnamedFiles(unnamed);
    for (std::size_t length : {248, 255}) {
      const std::string name(length, unnamed ? 'u' : 'h');
      Place(dir_ + "/" + name, "new", false);
      EXPECT_EQ(Read(dir_ + "/" + name), "new");
    }
  }
}

// Runs `work` in a child process; its wait status.
int InChild(const std::function<void()>& work) {
  const pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

TEST_F(FilesTest, ASignalThatEndsTheProgramLeavesNoHiddenFile) {
  Write("dest", "old");
  const std::string dest = dir_ + "/dest";
  for (bool unnamed : {true, false}) {
    std::vector<int> signals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    if (unnamed) signals.push_back(SIGKILL);  // only an unnamed file survives this
    for (int signal : signals) {
      const int status = InChild([&] {
        platform::AllowUnnamedFiles(unnamed);
        rlimit no_core{0, 0};
        setrlimit(RLIMIT_CORE, &no_core);
        NewFile file(dest);
        platform::OutputFile output(file);
        output.Write(std::string(1 << 20, 'x'));
        raise(signal);
      });
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << unnamed;
      EXPECT_EQ(Names(dir_), (std::vector<std::string>{"dest", "out"})) << signal << " " << unnamed;
      EXPECT_EQ(Read(dest), "old");
    }
    // A file-size limit is a full disk, not a silent end.
    const int status = InChild([&] {
      platform::AllowUnnamedFiles(unnamed);
      rlimit limit{1 << 16, 1 << 16};
      setrlimit(RLIMIT_FSIZE, &limit);
      signal(SIGXFSZ, SIG_DFL);
      _exit(ErrorNumberOf([&] { Place(dest, std::string(1 << 20, 'x'), true); }));
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == err::kDiskFull) << status;
    EXPECT_EQ(Names(dir_), (std::vector<std::string>{"dest", "out"}));
    EXPECT_EQ(Read(dest), "old");
  }
}

TEST_F(FilesTest, EachRunningCopyHasItsOwnTemporaryFile) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", out_dir_.c_str(), 1);
  ASSERT_EQ(chmod(out_dir_.c_str(), 0700), 0);
  {
    auto first = std::make_unique<TemporaryFileLease>();
    TemporaryFileLease second;
    EXPECT_EQ(first->path(), out_dir_ + "/PEMBLIX.TMP");
    EXPECT_EQ(second.path(), out_dir_ + "/PEMBLIX1.TMP");
    // A copy that ended frees its path; the others keep theirs.
    first.reset();
    TemporaryFileLease third;
    EXPECT_EQ(third.path(), out_dir_ + "/PEMBLIX.TMP");
    // In a child the held locks stay held.
    const int status = InChild([] {
      const bool own = TemporaryFileLease().path().ends_with("/PEMBLIX2.TMP");
      _exit(own ? 1 : 0);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  }
  EXPECT_TRUE(fs::is_empty(out_dir_));
  if (saved) {
    setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}

TEST_F(FilesTest, PrivatePlacesAreTheUsersOwn) {
  // A runtime folder others may write in is not used.
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", out_dir_.c_str(), 1);
  ASSERT_EQ(chmod(out_dir_.c_str(), 0777), 0);
  EXPECT_EQ(TemporaryFilePath(), "/tmp/pemblix-" + std::to_string(getuid()) + "/PEMBLIX.TMP");
  if (saved) {
    setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }

  const std::string folder = dir_ + "/pemblix-" + std::to_string(getuid());
  EXPECT_EQ(platform::PrivateFolder(dir_), folder);
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  try {
    platform::PrivateFolder(dir_);
    ADD_FAILURE() << "an open folder was taken";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.number(), err::kPermission);
    EXPECT_NE(error.description().find(folder), std::string::npos) << error.description();
  }
}

TEST_F(FilesTest, TheAnalysisWritesOnlyAFileItCreated) {
  Write("A.PCB", "TAVREL Version 3.6 -- DATA FILE\r\nA\r\n");
  const std::string converted = "TAVREL Version 3.5 -- DATA FILE\r\nA\r\n";
  // A leftover of the user's own is replaced by a new file.
  WriteFile(output_, "leftover");
  ASSERT_EQ(chmod(output_.c_str(), 0666), 0);
  RecordingSink sink;
  Run("A.PCB", sink);
  struct stat st;
  ASSERT_EQ(lstat(output_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Read(output_), converted);

  // Another owner's file, or one with a second link, is refused and kept.
  const std::string other = dir_ + "/other";
  for (bool other_owner : {false, true}) {
    if (other_owner && geteuid() != 0) continue;  // needs the right to give files away
    fs::remove(output_);
    fs::remove(other);
    WriteFile(output_, "planted");
    if (other_owner) {
      ASSERT_EQ(chown(output_.c_str(), 65534, 65534), 0);
    } else {
      fs::create_hard_link(output_, other);
    }
    RecordingSink refused;
    Run("A.PCB", refused);
    EXPECT_EQ(refused.failed_number, err::kPermission);
    EXPECT_EQ(Read(output_), "planted");
  }
}

}  // namespace
}  // namespace tavrel
