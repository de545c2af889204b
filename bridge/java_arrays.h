// Owners for what the bridge takes from the virtual machine, and its one way of raising a Java
// exception. Every class here gives back what it holds when it goes out of scope, so an early
// exit can neither leak nor leave an array pinned.
#pragma once

#include <jni.h>

#include <type_traits>
#include <utility>

namespace tallowmere::bridge {

// Thrown inside the bridge once a Java exception is pending, whether the virtual machine raised
// it or throwJavaException did. The native method catches it and returns, and Java then sees
// the pending exception.
struct JavaExceptionPending {};

// Raises a Java exception of the named class (JNI form, "java/lang/OutOfMemoryError") unless one
// is already pending, in which case the first one wins. Falls back to java.lang.Error if the
// class cannot be found. Caches nothing.
void throwJavaException(JNIEnv* env, const char* className, const char* message);

// Throws JavaExceptionPending if the last JNI call left an exception pending. Called after every
// JNI call that can throw, before the next one.
inline void checkPending(JNIEnv* env) {
  if (env->ExceptionCheck()) {
    throw JavaExceptionPending{};
  }
}

// A local reference deleted as soon as it is no longer needed, so that walking a long table does
// not pile up local references in the native frame.
class LocalRef {
 public:
  LocalRef(JNIEnv* env, jobject object) : env_(env), object_(object) {}
  LocalRef(LocalRef&& other) noexcept
      : env_(other.env_), object_(std::exchange(other.object_, nullptr)) {}
  LocalRef& operator=(LocalRef&&) = delete;
  ~LocalRef() {
    if (object_ != nullptr) {
      env_->DeleteLocalRef(object_);
    }
  }
  jobject get() const { return object_; }

 private:
  JNIEnv* env_;
  jobject object_;
};

// Row r of a double[][] table: a local reference to a non-null double[]. Throws
// JavaExceptionPending when r is out of range or the row is null.
LocalRef tableRow(JNIEnv* env, jobjectArray table, jsize r);

// The two kinds of primitive array the bridge reads, with their JNI access functions.
inline jint* getElements(JNIEnv* env, jintArray array) {
  return env->GetIntArrayElements(array, nullptr);
}
inline void releaseElements(JNIEnv* env, jintArray array, jint* elements) {
  env->ReleaseIntArrayElements(array, elements, 0);
}
inline jdouble* getElements(JNIEnv* env, jdoubleArray array) {
  return env->GetDoubleArrayElements(array, nullptr);
}
inline void releaseElements(JNIEnv* env, jdoubleArray array, jdouble* elements) {
  env->ReleaseDoubleArrayElements(array, elements, 0);
}

// The contents of a Java int[] or double[], obtained with Get<Type>ArrayElements and given back
// with Release<Type>ArrayElements in mode 0 (write back and free) by release() or at the end of
// scope, whichever comes first.
template <typename Array>
class ArrayElements {
 public:
  using Element = std::remove_pointer_t<decltype(getElements(nullptr, Array{}))>;

  ArrayElements() = default;
  // Throws JavaExceptionPending if the contents cannot be obtained.
  ArrayElements(JNIEnv* env, Array array)
      : env_(env), array_(array), elements_(getElements(env, array)) {
    checkPending(env);
    if (elements_ == nullptr) {
      throwJavaException(env, "java/lang/OutOfMemoryError", "cannot obtain Java array contents");
      throw JavaExceptionPending{};
    }
  }
  ArrayElements(ArrayElements&& other) noexcept { *this = std::move(other); }
  ArrayElements& operator=(ArrayElements&& other) noexcept {
    release();
    env_ = other.env_;
    array_ = other.array_;
    elements_ = std::exchange(other.elements_, nullptr);
    return *this;
  }
  ~ArrayElements() { release(); }

  Element* get() const { return elements_; }

  void release() {
    if (elements_ != nullptr) {
      releaseElements(env_, array_, std::exchange(elements_, nullptr));
    }
  }

 private:
  JNIEnv* env_ = nullptr;
  Array array_ = nullptr;
  Element* elements_ = nullptr;
};

using IntElements = ArrayElements<jintArray>;
using DoubleElements = ArrayElements<jdoubleArray>;

}  // namespace tallowmere::bridge
