// A move-only owner for each kind of system handle: `Kind` says which value is "none" and
// how a handle is closed. Every path closes what was opened, once.
#pragma once

#include <windows.h>

#include <utility>

namespace appcensus {

template <class Kind>
class UniqueHandle {
 public:
  using Handle = typename Kind::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Kind::None())) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(std::exchange(other.handle_, Kind::None()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Kind::None(); }
  void reset(Handle handle = Kind::None()) {
    close();
    handle_ = handle;
  }
  // Closes the handle now: false when the system refused, which for a file written to can
  // mean its last bytes were lost.
  bool close() {
    const bool closed = handle_ == Kind::None() || Kind::Close(handle_);
    handle_ = Kind::None();
    return closed;
  }

 private:
  Handle handle_ = Kind::None();
};

// A thread, a process token and the like: none is nullptr.
struct KernelHandleKind {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static bool Close(Handle handle) { return CloseHandle(handle) != 0; }
};
// A file from CreateFileW: none is INVALID_HANDLE_VALUE.
struct FileHandleKind {
  using Handle = HANDLE;
  static Handle None() { return INVALID_HANDLE_VALUE; }
  static bool Close(Handle handle) { return CloseHandle(handle) != 0; }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleKind>;
using UniqueFileHandle = UniqueHandle<FileHandleKind>;

}  // namespace appcensus
