#include "java_arrays.h"

namespace tallowmere::bridge {

void throwJavaException(JNIEnv* env, const char* className, const char* message) {
  if (env->ExceptionCheck()) {
    return;
  }
  jclass exceptionClass = env->FindClass(className);
  if (exceptionClass == nullptr) {
    env->ExceptionClear();
    exceptionClass = env->FindClass("java/lang/Error");
    if (exceptionClass == nullptr) {
      return;  // FindClass left its own exception (NoClassDefFoundError) pending
    }
  }
  env->ThrowNew(exceptionClass, message);
  env->DeleteLocalRef(exceptionClass);
}

}  // namespace tallowmere::bridge
