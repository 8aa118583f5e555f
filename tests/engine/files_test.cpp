// The file objects the save step and tavconv share: a new file put in place
// (never over what is not a regular file, never leaving debris, even when a
// signal ends the program), spool files, the private temporary file of each
// running copy.
#include <fcntl.h>
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
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
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
    // The administrator keeps the replaced file's owner too; a set-user or
    // set-group bit is never carried onto the new content.
    Write("file", "old");
    const bool root = geteuid() == 0;
    const uid_t owner = root ? 65534 : geteuid();
    const gid_t group = root ? 65534 : getegid();
    ASSERT_EQ(chown(file.c_str(), owner, group), 0);
    ASSERT_EQ(chmod(file.c_str(), 06750), 0);
    Place(file, "new", true);
    struct stat st;
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0750u);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(Read(file), "new");
    // Copied as the window's save copies.
    Write("copy", "copied");
    ASSERT_EQ(chmod(file.c_str(), 02640), 0);
    CopyFileReplacing(dir_ + "/copy", file);
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(Read(file), "copied");
    fs::remove(dir_ + "/copy");

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
        // From outside, to the whole process, as a user or the system sends it.
        kill(getpid(), signal);
        for (;;)
          pause();
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
    EXPECT_EQ(ErrorNumberOf([] { throw FileTooLarge(); }), err::kDiskFull);
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
  // A folder of that name that others may enter, or another user's planted
  // there, is left alone: a fresh private folder of the run's own is made
  // beside it, once, and removed when the run ends.
  for (bool other_owner : {false, true}) {
    if (other_owner && geteuid() != 0) continue;  // needs the right to give files away
    const int status = InChild([&] {
      const std::string base = dir_ + (other_owner ? "/other" : "/open");
      mkdir(base.c_str(), 0700);
      const std::string planted = base + "/pemblix-" + std::to_string(getuid());
      mkdir(planted.c_str(), 0755);
      if (other_owner && chown(planted.c_str(), 65534, 65534) != 0) _exit(10);
      const std::string fresh = platform::PrivateFolder(base);
      struct stat st;
      const bool usable = fresh.starts_with(planted + "-") && lstat(fresh.c_str(), &st) == 0 &&
                          S_ISDIR(st.st_mode) && (st.st_mode & 0777) == 0700 &&
                          st.st_uid == getuid() && platform::PrivateFolder(base) == fresh;
      std::exit(usable ? 0 : 11);  // atexit removes the fresh folder
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string base = dir_ + (other_owner ? "/other" : "/open");
    EXPECT_EQ(Names(base), (std::vector<std::string>{"pemblix-" + std::to_string(getuid())}));
  }
}

// Spool files: unnamed where the file system allows it, reached through the
// program's descriptor; named in the private folder otherwise.  Beside a
// destination when one is given.  Nothing is left once the object goes.
TEST_F(FilesTest, SpoolFilesLeaveNothing) {
  const std::string temporary = dir_ + "/tmp";
  fs::create_directory(temporary);
  const char* saved = std::getenv("TMPDIR");
  const std::string saved_value = saved ? saved : "";
  setenv("TMPDIR", temporary.c_str(), 1);
  const std::string private_folder = temporary + "/pemblix-" + std::to_string(getuid());
  for (bool unnamed : {true, false}) {
    platform::AllowUnnamedFiles(unnamed);
    for (const std::string& beside : {std::string(), out_dir_ + "/DEST.PCB"}) {
      {
        PrivateFile spool = beside.empty() ? PrivateFile() : PrivateFile(beside);
        if (unnamed) {
          EXPECT_TRUE(spool.path().starts_with("/proc/self/fd/")) << spool.path();
          // Unnamed: where it lies shows only in the link's text.
          EXPECT_EQ(fs::read_symlink(spool.path())
                        .string()
                        .rfind(beside.empty() ? temporary : out_dir_, 0),
                    0u)
              << fs::read_symlink(spool.path());
        } else {
          EXPECT_EQ(FolderOf(spool.path()), private_folder);
        }
        // Written, rewritten shorter, read back; the analysis' output too.
        {
          platform::OutputFile output(spool.path());
          output.Write("first, longer");
          output.Close();
        }
        {
          platform::OutputFile output(spool.path());
          output.Write("second");
          output.Close();
        }
        platform::InputFile input(spool.path());
        std::string line;
        input.ReadLine(line);
        EXPECT_EQ(line, "second");
        EXPECT_TRUE(input.AtEnd());
      }
      EXPECT_TRUE(!fs::exists(private_folder) || fs::is_empty(private_folder));
      EXPECT_EQ(Names(out_dir_), std::vector<std::string>{});
    }
  }
  // A path that merely looks like a spool's is written as any other path.
  EXPECT_EQ(platform::OpenOwnSpool("/proc/self/fd/0"), -1);
  if (saved) {
    setenv("TMPDIR", saved_value.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

// Every file of the run that has a name is removed when an ending signal
// arrives, whichever thread holds it, and the program ends by that signal:
// named spool files, hidden siblings being written by other threads, the
// window's temporary file and its lock.
TEST_F(FilesTest, AnEndingSignalRemovesEveryFileOfTheRun) {
  const std::string temporary = dir_ + "/tmp";
  fs::create_directory(temporary);
  ASSERT_EQ(chmod(out_dir_.c_str(), 0700), 0);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const int status = InChild([&] {
      setenv("TMPDIR", temporary.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", out_dir_.c_str(), 1);
      PrepareProcess();
      platform::AllowUnnamedFiles(false);
      TemporaryFileLease lease;
      WriteFile(lease.path(), "the window's temporary file");
      PrivateFile spool;
      std::atomic<int> ready = 0;
      std::vector<std::thread> workers;
      for (int i = 0; i < 4; ++i) {
        workers.emplace_back([&, i] {
          NewFile file(dir_ + "/dest" + std::to_string(i));
          platform::OutputFile output(file);
          output.Write("half");
          ++ready;
          for (;;)
            pause();
        });
      }
      while (ready < 4)
        std::this_thread::yield();
      kill(getpid(), signal);
      for (;;)
        pause();
    });
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(Names(dir_), (std::vector<std::string>{"out", "tmp"})) << signal;
    EXPECT_EQ(Names(out_dir_), std::vector<std::string>{}) << signal;
    const std::string private_folder = temporary + "/pemblix-" + std::to_string(getuid());
    EXPECT_TRUE(fs::is_empty(private_folder)) << signal;
  }
}

// The mode of a new file follows the umask the program started with, even
// while many threads make files at once.
TEST_F(FilesTest, ModesFollowTheUmaskInEveryThread) {
  for (bool unnamed : {true, false}) {
    const int status = InChild([&] {
      umask(077);
      PrepareProcess();
      platform::AllowUnnamedFiles(unnamed);
      std::vector<std::thread> workers;
      for (int t = 0; t < 8; ++t) {
        workers.emplace_back([&, t] {
          for (int i = 0; i < 40; ++i)
            Place(out_dir_ + "/" + std::to_string(t) + "-" + std::to_string(i), "x", false);
        });
      }
      for (std::thread& worker : workers)
        worker.join();
      _exit(0);
    });
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(out_dir_)) {
      struct stat st;
      ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, 0600u) << entry.path();
      ++files;
    }
    EXPECT_EQ(files, 320);
    fs::remove_all(out_dir_);
    fs::create_directory(out_dir_);
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

// Pieces of every size reach the file whole and in order, however they fall
// against the aligned blocks large pieces are written in: pieces written,
// built in place, copied from another file by length or by position.
TEST_F(FilesTest, PiecesOfEverySizeAreWrittenInOrder) {
  std::string source(300000, 0);
  for (std::size_t i = 0; i < source.size(); ++i)
    source[i] = static_cast<char>('a' + i % 23);
  Write("source", source);
  struct Piece {
    char how;  // 'w' Write, 'c' Reserve and Commit, 'f' CopyFrom, 'o' WriteCopyOf
    std::size_t size;
  };
  const std::vector<std::vector<Piece>> cases = {
      {{'w', 65536}, {'w', 65536}, {'w', 65535}, {'w', 1}},
      {{'w', 1}, {'w', 65536}, {'w', 131072}, {'w', 65537}},
      {{'c', 33}, {'w', 206004}, {'w', 206004}, {'w', 1000}, {'w', 206004}},
      {{'c', 65535}, {'c', 2}, {'w', 70000}, {'f', 5000}, {'w', 130000}},
      {{'w', 10}, {'f', 70000}, {'w', 65536}, {'o', 3}, {'o', 100000}, {'w', 3}},
      {{'w', 200000}, {'c', 100}, {'o', 65536}, {'w', 64}, {'f', 1}},
  };
  int n = 0;
  for (const auto& pieces : cases) {
    const std::string out = dir_ + "/pieces" + std::to_string(n++);
    const int from = open((dir_ + "/source").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(from, 0);
    std::string expected;
    std::size_t copied = 0, mark = 0;
    {
      platform::OutputFile output(out);
      for (const Piece& piece : pieces) {
        if (piece.how == 'f') {
          output.CopyFrom(from, piece.size);
          expected += source.substr(copied, piece.size);
          copied += piece.size;
          continue;
        }
        const std::size_t at = mark % (source.size() - piece.size);
        mark += 7919;  // each piece other bytes, so that none can stand for another
        const std::string bytes = source.substr(at, piece.size);
        expected += bytes;
        if (piece.how == 'w') output.Write(bytes);
        if (piece.how == 'o') output.WriteCopyOf(bytes, from, at);
        if (piece.how == 'c') {
          char* room = output.Reserve(bytes.size());
          std::memcpy(room, bytes.data(), bytes.size());
          output.Commit(room + bytes.size());
        }
      }
      output.Close();
    }
    close(from);
    EXPECT_TRUE(Read(out) == expected) << n;
  }
}

// A line of any kind, however long, is converted in bounded memory: 32 MB
// lines here, an eighth of the 256 MB that must run in 64 MB, in less than
// half of what holding one line would take.  The file is written and
// converted in a child, whose growth of resident memory is measured.
TEST_F(FilesTest, LongLinesTakeBoundedMemory) {
  constexpr std::size_t kLength = 32 << 20;
  constexpr long kMostKilobytes = 16 << 10;
  // AddressSanitizer keeps freed memory in quarantine: resident memory then
  // tells nothing about the conversion's own.  GCC says it is there by a
  // macro, clang by a feature.
#if defined(__SANITIZE_ADDRESS__)
  constexpr bool kMeasured = false;
#elif defined(__has_feature)
  constexpr bool kMeasured = !__has_feature(address_sanitizer);
#else
  constexpr bool kMeasured = true;
#endif
  const struct {
    const char* start;
    const char* repeated;
    int error;  // the conversion's error, 0 for none
  } cases[] = {
      {"0", " 1", err::kSubscript},                 // a record 0 of many values
      {"-gx", "1,", err::kSubscript},               // an option's values
      {"1 ", "1234567890", err::kOverflow},         // one value of digits
      {"-y3:00FFFFFF,0,0,0,00,9,", "layer", 0},     // a layer's name
      {"4 1 0.1 1.25 2.5 0.5 90 5 1 ", "text", 0},  // a text record
      {"6 2 90 1 2 0.5 0.25 ", "text", 0},
      {"2 5 1 2 3 4 ", "11111111", err::kOverflow},  // a record 2's angle
      {"2 5 ", "00000000", 0},                       // its value worth 0, copied
      {"3 1.5 0.", "77777777", 0},                   // a pad's size, copied
      {"3 1.5 2 1 2 3 4 5 90 1 ", "00000000", 0},    // its name
      {"4 1 0.1 0.", "00000000", 0},                 // a text's place worth 0
      {"6 2 ", "11111111", err::kOverflow},          // a text's angle
      {"0 12  ", "00000000", 0},                     // a value of leading zeros
      {"1 2 0.", "00000000", 0},                     // a value "0.000..."
      {"-gx0.", "00000000", 0},
      {"-dp1,", "0\t0\t0\t0\t", 0},  // zeros and tabs
  };
  for (const auto& c : cases) {
    const int status = InChild([&] {
      {
        std::FILE* file = std::fopen((dir_ + "/LONG.PCB").c_str(), "wb");
        std::fputs("TAVREL Version 4.0 -- Data File.\r\n", file);
        std::fputs(c.start, file);
        for (std::size_t written = 0; written < kLength; written += std::strlen(c.repeated))
          std::fputs(c.repeated, file);
        std::fputs("\r\n", file);
        std::fclose(file);
      }
      rusage before{}, after{};
      getrusage(RUSAGE_SELF, &before);
      RecordingSink sink;
      AnalysisRequest request{dir_, "LONG.PCB", output_, kPoint};
      request.threads = 2;
      const AnalysisOutcome outcome = Analizza(request, sink);
      getrusage(RUSAGE_SELF, &after);
      const bool as_expected = c.error == 0 ? outcome.converted : sink.failed_number == c.error;
      if (!as_expected) _exit(1);
      _exit(!kMeasured || after.ru_maxrss - before.ru_maxrss < kMostKilobytes ? 0 : 2);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.start << ": " << status;
  }
}

}  // namespace
}  // namespace tavrel
