// Owning pointers over kstl::IRefCounted objects.
//
// RefCountedPtr_STLSafe holds one reference and can live in standard containers (copying adds
// a reference, destruction releases it). RefCountedPtr adds CopyTo, which hands a further
// reference to a caller's out location. RefCountedQIPtr is built from another interface of the
// same object and holds the result of a checked cast, so a caller can ask "does this object
// also implement T?" and keep a reference when it does.
#pragma once

namespace kstl {

template <class T>
class RefCountedPtr_STLSafe {
 public:
  RefCountedPtr_STLSafe() : pointer_(nullptr) {}
  // Adds a reference to target when it is not null.
  explicit RefCountedPtr_STLSafe(T* target) : pointer_(target) {
    if (pointer_) pointer_->AddRef();
  }
  RefCountedPtr_STLSafe(const RefCountedPtr_STLSafe& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  virtual ~RefCountedPtr_STLSafe() { Reset(); }

  // Releases the old target and adds a reference to the new one. The new reference is taken
  // first, so assigning the pointer already held never lets the count touch 0.
  RefCountedPtr_STLSafe& operator=(T* target) {
    if (target) target->AddRef();
    T* old = pointer_;
    pointer_ = target;
    if (old) old->Release();
    return *this;
  }
  RefCountedPtr_STLSafe& operator=(const RefCountedPtr_STLSafe& other) { return *this = other.pointer_; }

  // Releases the target (if any) and holds null.
  void Reset() {
    T* old = pointer_;
    pointer_ = nullptr;
    if (old) old->Release();
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  T& operator*() const { return *pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 protected:
  T* pointer_;
};

template <class T>
class RefCountedPtr : public RefCountedPtr_STLSafe<T> {
 public:
  RefCountedPtr() {}
  explicit RefCountedPtr(T* target) : RefCountedPtr_STLSafe<T>(target) {}
  RefCountedPtr& operator=(T* target) {
    RefCountedPtr_STLSafe<T>::operator=(target);
    return *this;
  }

  // Stores the held pointer in *out and adds a reference for the receiver when it is not
  // null. A null out location does nothing.
  void CopyTo(T** out) const {
    if (!out) return;
    *out = this->pointer_;
    if (this->pointer_) this->pointer_->AddRef();
  }
};

template <class T>
class RefCountedQIPtr : public RefCountedPtr<T> {
 public:
  // Holds source as a T (adding a reference) when the object implements T, else null.
  template <class U>
  explicit RefCountedQIPtr(U* source) : RefCountedPtr<T>(source ? dynamic_cast<T*>(source) : nullptr) {}
};

}  // namespace kstl
