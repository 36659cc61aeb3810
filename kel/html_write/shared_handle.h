// Reference-counted handle through which the nodes of an HTML element tree are shared.
//
// A handle is either empty or refers to one heap object together with a count of the handles
// that refer to it. Copying a handle adds one to the count; destroying or reassigning a handle
// takes one away, and the last handle to go destroys the object (as the type it was created
// with). A handle to a derived type converts to a handle to any of its bases and shares the
// same count. Counting is not synchronised: handles belong to one thread.
//
// New objects are created with makeHandle<T>(constructor arguments...), the only way to put
// an object under a handle.
#ifndef CORVEX_KEL_HTML_WRITE_SHARED_HANDLE_H
#define CORVEX_KEL_HTML_WRITE_SHARED_HANDLE_H

#include <type_traits>
#include <utility>

namespace kel::html_write {

namespace detail {

// The count, and (in the derived block) the object it guards.
class ControlBlock {
 public:
  ControlBlock() = default;
  ControlBlock(const ControlBlock&) = delete;
  ControlBlock& operator=(const ControlBlock&) = delete;
  virtual ~ControlBlock() = default;

  int count = 1;
};

template <class T>
class ObjectBlock final : public ControlBlock {
 public:
  template <class... Args>
  explicit ObjectBlock(Args&&... args) : object(std::forward<Args>(args)...) {}

  T object;
};

}  // namespace detail

template <class T>
class SharedHandle {
 public:
  SharedHandle() noexcept = default;

  SharedHandle(const SharedHandle& other) noexcept : block_(other.block_), object_(other.object_) {
    acquire();
  }
  SharedHandle(SharedHandle&& other) noexcept : block_(other.block_), object_(other.object_) {
    other.block_ = nullptr;
    other.object_ = nullptr;
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  SharedHandle(const SharedHandle<U>& other) noexcept  // NOLINT: implicit upcast, like a pointer
      : block_(other.block_), object_(other.object_) {
    acquire();
  }
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  SharedHandle(SharedHandle<U>&& other) noexcept  // NOLINT: implicit upcast, like a pointer
      : block_(other.block_), object_(other.object_) {
    other.block_ = nullptr;
    other.object_ = nullptr;
  }

  ~SharedHandle() { release(); }

  SharedHandle& operator=(SharedHandle other) noexcept {
    swap(other);
    return *this;
  }

  void swap(SharedHandle& other) noexcept {
    std::swap(block_, other.block_);
    std::swap(object_, other.object_);
  }

  T* get() const noexcept { return object_; }
  T& operator*() const noexcept { return *object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

  // Number of handles sharing the object; 0 for an empty handle.
  int useCount() const noexcept { return block_ ? block_->count : 0; }

 private:
  template <class U>
  friend class SharedHandle;
  template <class U, class... Args>
  friend SharedHandle<U> makeHandle(Args&&... args);

  SharedHandle(detail::ControlBlock* block, T* object) noexcept : block_(block), object_(object) {}

  void acquire() noexcept {
    if (block_) ++block_->count;
  }
  void release() noexcept {
    if (block_ && --block_->count == 0) delete block_;
    block_ = nullptr;
    object_ = nullptr;
  }

  detail::ControlBlock* block_ = nullptr;
  T* object_ = nullptr;
};

// Creates a T from the arguments and returns the first handle to it.
template <class T, class... Args>
SharedHandle<T> makeHandle(Args&&... args) {
  auto* block = new detail::ObjectBlock<T>(std::forward<Args>(args)...);
  return SharedHandle<T>(block, &block->object);
}

}  // namespace kel::html_write

#endif
