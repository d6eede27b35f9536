#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstdint>
#include <utility>

namespace velko::win {

// Owns one resource and releases it exactly once. Releasing never changes the thread's
// last-error code, so a failure text built after cleanup still names the failing call.
template <typename T, auto Release, std::intptr_t InvalidValue = 0>
class unique_any {
  static T invalid() { return reinterpret_cast<T>(InvalidValue); }


 public:
  unique_any() = default;
  explicit unique_any(T value) : value_(value) {}
  unique_any(const unique_any&) = delete;
  unique_any& operator=(const unique_any&) = delete;
  unique_any(unique_any&& other) noexcept : value_(other.release()) {}
  unique_any& operator=(unique_any&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~unique_any() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != invalid(); }
  T release() { return std::exchange(value_, invalid()); }
  void reset() { reset(invalid()); }
  void reset(T value) {
    if (value_ != invalid()) {
      const DWORD lastError = ::GetLastError();
      Release(value_);
      ::SetLastError(lastError);
    }
    value_ = value;
  }
  // For out-parameters: releases the current value and exposes the storage.
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = invalid();
};

namespace detail {
inline void close_handle(HANDLE h) { ::CloseHandle(h); }
inline void close_key(HKEY k) { ::RegCloseKey(k); }
inline void delete_gdi(HGDIOBJ o) { ::DeleteObject(o); }
inline void delete_dc(HDC dc) { ::DeleteDC(dc); }
inline void find_close(HANDLE h) { ::FindClose(h); }
inline void local_free(void* memory) { ::LocalFree(memory); }
inline void co_task_mem_free(void* memory) { ::CoTaskMemFree(memory); }
}  // namespace detail

// A handle where null means none (processes, threads, events, mappings).
using unique_handle = unique_any<HANDLE, detail::close_handle>;
// A file handle from CreateFileW, where INVALID_HANDLE_VALUE means none.
using unique_file = unique_any<HANDLE, detail::close_handle, -1>;
// A CreateToolhelp32Snapshot handle, where INVALID_HANDLE_VALUE means none too.
using unique_snapshot = unique_any<HANDLE, detail::close_handle, -1>;
using unique_hkey = unique_any<HKEY, detail::close_key>;
using unique_find = unique_any<HANDLE, detail::find_close, -1>;
// Memory that a Windows call allocated with LocalAlloc (security descriptors, SID texts).
template <typename T>
using unique_hlocal = unique_any<T, detail::local_free>;
// Memory that a shell or COM call allocated with CoTaskMemAlloc (known-folder paths, item lists).
template <typename T>
using unique_cotaskmem = unique_any<T, detail::co_task_mem_free>;
using unique_hdc = unique_any<HDC, detail::delete_dc>;

template <typename Gdi>
using unique_gdi = unique_any<Gdi, detail::delete_gdi>;
using unique_hfont = unique_gdi<HFONT>;
using unique_hbrush = unique_gdi<HBRUSH>;
using unique_hbitmap = unique_gdi<HBITMAP>;
using unique_hrgn = unique_gdi<HRGN>;
using unique_hpen = unique_gdi<HPEN>;

// Selects an object into a DC for the scope and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The DC of a window from GetDC (of the whole screen for a null window), released with
// ReleaseDC. get() is null when GetDC failed.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) {
      const DWORD lastError = ::GetLastError();
      ::ReleaseDC(window_, dc_);
      ::SetLastError(lastError);
    }
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint and EndPaint as one scope.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = ::BeginPaint(window, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  ~PaintScope() { ::EndPaint(window_, &paint_); }
  HDC dc() const { return dc_; }
  const PAINTSTRUCT& paint() const { return paint_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// Owns one COM interface pointer.
template <typename I>
class com_ptr {
 public:
  com_ptr() = default;
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  ~com_ptr() { reset(); }
  I* get() const { return p_; }
  I* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  I** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  template <typename Other>
  HRESULT query(com_ptr<Other>& out) const {
    return p_->QueryInterface(__uuidof(Other), out.put_void());
  }

 private:
  I* p_ = nullptr;
};

}  // namespace velko::win
