// Owning handle for a GObject reference (platform and window code only).
#pragma once

#include <glib-object.h>

#include <utility>

namespace vuko {

template <class T>
class GObjectPtr {
 public:
  GObjectPtr() = default;
  // Takes over a reference the caller owns (a "transfer full" return).
  static GObjectPtr adopt(T* p) { return GObjectPtr(p); }
  // Adds a reference of its own.
  static GObjectPtr share(T* p) {
    return GObjectPtr(p ? static_cast<T*>(g_object_ref(p)) : nullptr);
  }

  GObjectPtr(GObjectPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  GObjectPtr& operator=(GObjectPtr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = std::exchange(o.p_, nullptr);
    }
    return *this;
  }
  GObjectPtr(const GObjectPtr&) = delete;
  GObjectPtr& operator=(const GObjectPtr&) = delete;
  ~GObjectPtr() { reset(); }

  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (p_) g_object_unref(std::exchange(p_, nullptr));
  }

 private:
  explicit GObjectPtr(T* p) : p_(p) {}
  T* p_ = nullptr;
};

}  // namespace vuko
