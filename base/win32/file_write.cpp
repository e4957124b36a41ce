// Safe writes with the Windows API (see base/file_write.h).
#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>

#include "base/file_write.h"
#include "base/pending_temporaries.h"
#include "base/utf16.h"

namespace vz {

namespace {

// The system's words for an error, in English where the system has them.
std::string systemReason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  DWORD length = FormatMessageW(flags, nullptr, error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0)
    length =
        FormatMessageW(flags, nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring reason = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                             reason.back() == L' ' || reason.back() == L'.'))
    reason.pop_back();
  return wideToUtf8(reason);
}

// A failure to make or open a file: refusals of permission apart from the rest.
Status openFailure(DWORD error) {
  if (error == ERROR_ACCESS_DENIED) return StatusCode::kPermissionDenied;
  if (error == ERROR_WRITE_PROTECT) return {StatusCode::kPermissionDenied, systemReason(error)};
  return {StatusCode::kCannotWrite, systemReason(error)};
}

Status writeFailure(DWORD error) {
  return {StatusCode::kCannotWrite, systemReason(error)};
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  Status close() {
    const HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) ? Status() : writeFailure(GetLastError());
  }

 private:
  HANDLE handle_;
};

class HandleSink : public ByteSink {
 public:
  explicit HandleSink(HANDLE handle) : handle_(handle) {}

  Status append(const std::vector<ByteRange>& pieces) override {
    for (const ByteRange& piece : pieces) {
      const uint8_t* next = piece.data;
      size_t left = piece.size;
      while (left > 0) {
        const DWORD chunk = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(handle_, next, chunk, &wrote, nullptr)) return writeFailure(GetLastError());
        if (wrote == 0) return writeFailure(ERROR_WRITE_FAULT);
        next += wrote;
        left -= wrote;
      }
    }
    return {};
  }

 private:
  HANDLE handle_;
};

Status replaceThroughNamed(const std::wstring& target, const ByteProducer& produce) {
  std::wstring temporary;
  // Listed before it is made, so that a console event never finds it there and unlisted.
  std::optional<PendingTemporary> pending;
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
    temporary =
        target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
    pending.reset();
    pending.emplace(temporary);
    // Shared for deletion, so that a console event can remove it while it is open.
    handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (handle == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
        error != ERROR_ALREADY_EXISTS)
      return openFailure(error);
  }
  if (handle == INVALID_HANDLE_VALUE) return writeFailure(ERROR_FILE_EXISTS);
  Handle file(handle);
  HandleSink sink(file.get());
  Status status = produce(sink);
  if (Status closed = file.close(); status.ok()) status = closed;
  if (status.ok() && !MoveFileExW(temporary.c_str(), target.c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    status = writeFailure(GetLastError());
  if (!status.ok()) DeleteFileW(temporary.c_str());
  return status;
}

// The path a symbolic link leads to, from a handle opened through it.
std::optional<std::wstring> finalPathOf(HANDLE handle) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return std::nullopt;
    if (length < path.size()) return path.substr(0, length);
    path.assign(length, L'\0');
  }
}

BOOL WINAPI endAfterRemovingTemporaries(DWORD) {
  removePendingTemporaries();
  return FALSE;  // the system's own handler then ends the process
}

}  // namespace

Status writeFileSafely(const std::string& utf8Path, const ByteProducer& produce, TemporaryFile) {
  std::wstring target = utf8ToWide(utf8Path);
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {StatusCode::kCannotWrite, "Is a directory"};
    if (attributes & FILE_ATTRIBUTE_READONLY) return StatusCode::kPermissionDenied;
  }
  // Opening it as it is tells a device or pipe from a file, and whether it may be written;
  // a file is not changed by being opened.
  Handle existing(CreateFileW(target.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!existing.valid()) {
    const DWORD error = GetLastError();
    const bool link =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    if (link && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
      return {StatusCode::kCannotWrite, "a symbolic link to nothing"};
    // Missing (a new file) or busy: the replacement answers for itself.
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
        error != ERROR_SHARING_VIOLATION)
      return openFailure(error);
  } else if (GetFileType(existing.get()) != FILE_TYPE_DISK) {
    HandleSink sink(existing.get());
    if (Status status = produce(sink); !status.ok()) return status;
    return existing.close();
  } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // Through a symbolic link, the file it names is replaced, not the link.
    const std::optional<std::wstring> real = finalPathOf(existing.get());
    if (!real) return writeFailure(GetLastError());
    target = *real;
  }
  if (existing.valid()) existing.close();
  return replaceThroughNamed(target, produce);
}

Status writeStandardOutput(const std::vector<ByteRange>& pieces) {
  // Straight to the handle, past the C runtime's text mode: the bytes arrive as they are,
  // after whatever text the C stream held.
  std::fflush(stdout);
  HandleSink sink(GetStdHandle(STD_OUTPUT_HANDLE));
  return sink.append(pieces);
}

void prepareSafeWrites() {
  SetConsoleCtrlHandler(endAfterRemovingTemporaries, TRUE);
}

}  // namespace vz
