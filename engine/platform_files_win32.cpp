// Files on Windows: reading and writing through handles (binary, 64-bit
// sizes and offsets), and what the program asks about files.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

DWORD Attributes(const std::string& path) {
  try {
    return GetFileAttributesW(Wide(path).c_str());
  } catch (const RuntimeError&) {
    return INVALID_FILE_ATTRIBUTES;
  }
}

// Opens an existing file or folder only to ask about it.
HANDLE OpenToAsk(const std::string& path) {
  return CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

namespace platform {

std::size_t ReadSome(NativeFile file, char* into, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(file), into, want, &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // the writer closed its end
    throw LastError();
  }
  return got;
}

void WriteAll(NativeFile file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), data, want, &written, nullptr)) throw LastError();
    data += written;
    size -= written;
  }
}

void WriteAll(NativeFile file, std::string_view first, std::string_view second) {
  WriteAll(file, first.data(), first.size());
  WriteAll(file, second.data(), second.size());
}

InputFile::InputFile(const std::string& path) {
  const HANDLE handle = CreateFileW(
      Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw SourceError(GetLastError(), path);
  fd_ = AsNative(handle);
  remaining_ = UINT64_MAX;
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    regular_ = true;
    // Read no further than the length seen now (a final DOS end-of-file
    // mark is left out when it is read).
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
      const RuntimeError error = LastError();
      CloseHandle(handle);
      fd_ = -1;
      throw error;
    }
    remaining_ = static_cast<std::uint64_t>(size.QuadPart);
  }
}

InputFile::~InputFile() {
  if (fd_ != -1) CloseHandle(AsHandle(fd_));
}

OutputFile::OutputFile(const std::string& path) {
  RefuseReservedName(path);
  // Links are opened as themselves, and refused below.
  const HANDLE handle =
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), path);
  fd_ = AsNative(handle);
  // Only a regular file, emptied only when it holds something.
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER zero{};
  std::optional<RuntimeError> error;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    error = MakeError(err::kPathFileAccess);
  } else if (!GetFileInformationByHandle(handle, &info)) {
    error = LastError();
  } else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
             0) {
    error = MakeError(err::kPathFileAccess);
  } else if ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) &&
             (!SetFilePointerEx(handle, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(handle))) {
    error = LastError();
  }
  if (error) {
    CloseHandle(handle);
    fd_ = -1;
    throw *error;
  }
  buffer_.Reserve(kFlushAt * 2);
}

OutputFile::~OutputFile() {
  if (fd_ != -1 && owned_) CloseHandle(AsHandle(fd_));
}

void OutputFile::WriteCopyOf(std::string_view bytes, NativeFile, std::uint64_t) {
  Write(bytes);
}

void OutputFile::CopyFrom(NativeFile from, std::uint64_t length) {
  Flush();
  offset_ += length;
  constexpr std::size_t kChunk = 1 << 18;
  const std::size_t chunk = length < kChunk ? static_cast<std::size_t>(length) : kChunk;
  if (chunk == 0) return;
  const auto buffer = std::make_unique_for_overwrite<char[]>(chunk);
  while (length > 0) {
    const std::size_t want = length < chunk ? static_cast<std::size_t>(length) : chunk;
    const std::size_t got = ReadSome(from, buffer.get(), want);
    // A file that became shorter while it was copied gives no sound result.
    if (got == 0) throw MakeError(err::kPastEnd);
    WriteAll(fd_, buffer.get(), got);
    length -= got;
  }
}

// The system takes room as the file grows.
void OutputFile::Expect(std::uint64_t) {}

void OutputFile::Close() {
  Flush();
  const HANDLE handle = AsHandle(fd_);
  fd_ = -1;
  if (owned_ && !CloseHandle(handle)) throw LastError();
}

bool IsRegularFile(const std::string& path) {
  if (IsDeviceName(path)) return false;
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

namespace {

WIN32_FILE_ATTRIBUTE_DATA AttributeData(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    throw SourceError(GetLastError(), path);
  }
  return data;
}

}  // namespace

std::uint64_t FileLength(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

FileStamp FileStampOf(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
  FileStamp stamp;
  stamp.length = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return stamp;
  }
  auto two = [](int value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
  };
  stamp.date_text = two(local.wDay) + "/" + two(local.wMonth) + "/" + std::to_string(local.wYear) +
                    " " + two(local.wHour) + ":" + two(local.wMinute) + ":" + two(local.wSecond);
  return stamp;
}

}  // namespace platform

bool SameFile(const std::string& a, const std::string& b) {
  // The volume's serial number and the file's index, not the names: links,
  // short names and different spellings of one file are the same.
  try {
    Handle ha(OpenToAsk(a));
    Handle hb(OpenToAsk(b));
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return ha.handle != INVALID_HANDLE_VALUE && hb.handle != INVALID_HANDLE_VALUE &&
           GetFileInformationByHandle(ha.handle, &ia) &&
           GetFileInformationByHandle(hb.handle, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  } catch (const RuntimeError&) {
    return false;
  }
}

bool FileExists(const std::string& path) {
  if (IsDeviceName(path)) return false;  // a device, not a file
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void DeleteFileIfExists(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (!DeleteFileW(wide.c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      throw FileError(static_cast<int>(error));
    }
  }
  DropPending(wide);
}

void CopyFileReplacing(const std::string& from, const std::string& to) {
  CheckReplaceable(to);
  Handle in(CreateFileW(Wide(from).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (in.handle == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), from);
  NewFile file(to);
  platform::OutputFile output(file);
  std::string buffer(1 << 16, '\0');
  while (const std::size_t got =
             platform::ReadSome(AsNative(in.handle), buffer.data(), buffer.size())) {
    output.Write(std::string_view(buffer.data(), got));
  }
  output.Close();
  file.Place(true);
}

void CheckReplaceable(const std::string& path) {
  RefuseReservedName(path);
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return;
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    throw RuntimeError(err::kPathFileAccess, MakeError(err::kPathFileAccess).description() +
                                                 " (non è un file ordinario)");
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) throw MakeError(err::kPermission);
}

}  // namespace tavrel
