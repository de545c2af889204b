// Owners for what the bridge takes from the virtual machine, and its one way of raising a Java
// exception. Every class here gives back what it holds when it goes out of scope, so an early
// exit can neither leak nor leave a reference behind. The bridge obtains no array's contents:
// it copies them with Get<Type>ArrayRegion and writes with Set<Type>ArrayRegion, so nothing is
// ever pinned or given back.
#pragma once

#include <jni.h>

#include <algorithm>

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

// A frame of local references, popped at the end of scope with every reference made in it.
// Walking a table of a million rows a frame at a time saves a JNI call a row over deleting each
// row's reference on its own, and never piles up more references than one frame holds.
class LocalFrame {
 public:
  // Throws JavaExceptionPending (an OutOfMemoryError) if the frame cannot be had.
  LocalFrame(JNIEnv* env, jint capacity) : env_(env) {
    if (env->PushLocalFrame(capacity) != 0) {
      throw JavaExceptionPending{};
    }
  }
  LocalFrame(const LocalFrame&) = delete;
  LocalFrame& operator=(const LocalFrame&) = delete;
  ~LocalFrame() { env_->PopLocalFrame(nullptr); }

 private:
  JNIEnv* env_;
};

inline constexpr jsize rowsPerFrame = 1024;

// Calls f(r, row) for the elements r = first .. end - 1 of a Java object array, in order, with
// row a local reference (null for a null element) that stays valid while f runs.
template <typename F>
void forEachRow(JNIEnv* env, jobjectArray table, jsize first, jsize end, F&& f) {
  for (jsize frameStart = first; frameStart < end;) {
    const jsize frameEnd = frameStart + std::min(rowsPerFrame, end - frameStart);
    const LocalFrame frame(env, frameEnd - frameStart);
    for (jsize r = frameStart; r < frameEnd; ++r) {
      jobject row = env->GetObjectArrayElement(table, r);
      checkPending(env);
      f(r, row);
    }
    frameStart = frameEnd;
  }
}

}  // namespace tallowmere::bridge
