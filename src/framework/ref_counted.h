// Intrusive reference count: an object is born with one reference, and the release
// of the last one deletes it. Getters lend pointers without adding a reference.
#pragma once

namespace zandle::fw {

class RefCounted {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  long InternalAddRef() noexcept { return ++references_; }
  long InternalRelease() noexcept {
    const long left = --references_;
    if (left == 0) delete this;
    return left;
  }
  long References() const noexcept { return references_; }

 protected:
  RefCounted() noexcept = default;
  virtual ~RefCounted() = default;

 private:
  long references_ = 1;
};

// Releases one reference at the end of a scope.
template <typename T>
class RefHolder {
 public:
  RefHolder() noexcept = default;
  explicit RefHolder(T* adopted) noexcept : object_(adopted) {}
  RefHolder(const RefHolder&) = delete;
  RefHolder& operator=(const RefHolder&) = delete;
  RefHolder(RefHolder&& other) noexcept : object_(other.release()) {}
  ~RefHolder() { reset(); }
  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  T* release() noexcept {
    T* object = object_;
    object_ = nullptr;
    return object;
  }
  void reset(T* adopted = nullptr) noexcept {
    if (object_) object_->InternalRelease();
    object_ = adopted;
  }

 private:
  T* object_ = nullptr;
};

}  // namespace zandle::fw
