#include "java_arrays.h"

#include <string>

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

LocalRef tableRow(JNIEnv* env, jobjectArray table, jsize r) {
  LocalRef row(env, env->GetObjectArrayElement(table, r));
  checkPending(env);
  if (row.get() == nullptr) {
    const std::string message = "row " + std::to_string(r) + " of a result table is null";
    throwJavaException(env, "java/lang/NullPointerException", message.c_str());
    throw JavaExceptionPending{};
  }
  return row;
}

}  // namespace tallowmere::bridge
