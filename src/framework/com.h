// COM pointer and BSTR owners.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace zandle::fw {

template <typename T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) { reset(); ptr_ = std::exchange(other.ptr_, nullptr); }
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  void reset() noexcept {
    if (ptr_) std::exchange(ptr_, nullptr)->Release();
  }
  // For out-parameters: releases what is held and hands out the slot.
  T** put() noexcept { reset(); return &ptr_; }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

 private:
  T* ptr_ = nullptr;
};

class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { reset(); }
  BSTR get() const noexcept { return value_; }
  BSTR* put() noexcept { reset(); return &value_; }
  void reset() noexcept {
    if (value_) ::SysFreeString(std::exchange(value_, nullptr));
  }
  UINT length() const noexcept { return value_ ? ::SysStringLen(value_) : 0; }

 private:
  BSTR value_ = nullptr;
};

// Balances CoInitializeEx only when it succeeded (S_OK or S_FALSE): a thread that the
// host put into another apartment keeps its own initialisation intact.
class ComInitScope {
 public:
  explicit ComInitScope(DWORD model) noexcept : hr_(::CoInitializeEx(nullptr, model)) {}
  ComInitScope(const ComInitScope&) = delete;
  ComInitScope& operator=(const ComInitScope&) = delete;
  ~ComInitScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  HRESULT result() const noexcept { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace zandle::fw
