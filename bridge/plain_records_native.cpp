// Quorvane.homals.cli.PlainRecords.read: the reader's plain records in the library
// (plain_records.h). The arrays are the reader's own, read in place while the records are read:
// every length and index is checked first, and a table that does not hold together is not used
// (its cells are left to the reader), so a wrong call gets an exception or fewer records, never a
// read out of bounds.
#include <jni.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "Quorvane_homals_cli_PlainRecords.h"
#include "java_arrays.h"
#include "plain_records.h"
#include "typed_arguments.h"

using namespace tallowmere::bridge;  // NOLINT(google-build-using-namespace): this file's own

namespace {

// Arrays held in place (GetPrimitiveArrayCritical) and let go together; no other JNI call may
// come between.
class HeldArrays {
 public:
  explicit HeldArrays(JNIEnv* env) : env_(env) {}
  HeldArrays(const HeldArrays&) = delete;
  HeldArrays& operator=(const HeldArrays&) = delete;
  ~HeldArrays() {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
      env_->ReleasePrimitiveArrayCritical(it->first, it->second, it->mode);
    }
  }
  // Null when the JVM cannot give it.
  void* hold(jarray array, jint mode) {
    void* data = env_->GetPrimitiveArrayCritical(array, nullptr);
    if (data != nullptr) {
      held_.push_back({array, data, mode});
    }
    return data;
  }

 private:
  struct Held {
    jarray first;
    void* second;
    jint mode;
  };
  JNIEnv* env_;
  std::vector<Held> held_;
};

struct TableArrays {
  jintArray oneByte, slots, keyStart, keyLength, keyCode;
  jbyteArray keys;
};

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_Quorvane_homals_cli_PlainRecords_read(
    JNIEnv* env, jclass, jbyteArray buffer, jint at, jint filled, jint startLimit, jbyte delimiter,
    jboolean crlf, jintArray columnTable, jobjectArray tables, jint capacity, jintArray codes,
    jintArray result) {
  guarded(env, [&] {
    const jsize bufferLength = lengthOf(env, buffer, "buffer");
    if (at < 0 || filled < at || filled > bufferLength || startLimit < 0) {
      illegal(env, "at " + std::to_string(at) + ", filled " + std::to_string(filled) +
                       " and startLimit " + std::to_string(startLimit) +
                       " do not fit a buffer of " + std::to_string(bufferLength));
    }
    const jsize width = lengthOf(env, columnTable, "columnTable");
    const std::vector<jint> column = readInts(env, columnTable, "columnTable", width);
    const jsize tableArrays = lengthOf(env, tables, "tables");
    if (width < 1 || tableArrays % 6 != 0) {
      illegal(env, "columnTable needs a column and tables six arrays a table");
    }
    const jsize tableCount = tableArrays / 6;
    for (const jint k : column) {
      if (k < -1 || k >= tableCount) {
        illegal(env, "columnTable names table " + std::to_string(k) + " of " +
                         std::to_string(tableCount));
      }
    }
    const jsize codesLength = lengthOf(env, codes, "codes");
    if (capacity < 0 || codesLength < int64_t{tableCount} * capacity) {
      illegal(env, "codes has no room for " + std::to_string(capacity) + " records");
    }
    requireLength(env, result, "result", 2);
    // Every table's six arrays are held at once: a frame with room for their references.
    const LocalFrame frame(env, 6 * tableCount + 2);
    jclass intArray = env->FindClass("[I");
    jclass byteArray = env->FindClass("[B");
    checkPending(env);
    std::vector<TableArrays> arrays(static_cast<std::size_t>(tableCount));
    for (jsize k = 0; k < tableCount; ++k) {
      jobject element[6];
      for (int e = 0; e < 6; ++e) {
        element[e] = env->GetObjectArrayElement(tables, 6 * k + e);
        checkPending(env);
        if (element[e] == nullptr || !env->IsInstanceOf(element[e], e < 5 ? intArray : byteArray)) {
          illegal(env, "tables[" + std::to_string(6 * k + e) + "] is not an " +
                           (e < 5 ? "int[]" : "byte[]"));
        }
      }
      arrays[k] = {static_cast<jintArray>(element[0]), static_cast<jintArray>(element[1]),
                   static_cast<jintArray>(element[2]), static_cast<jintArray>(element[3]),
                   static_cast<jintArray>(element[4]), static_cast<jbyteArray>(element[5])};
      const jsize slots = env->GetArrayLength(arrays[k].slots);
      if (env->GetArrayLength(arrays[k].oneByte) != 256 || slots < 1 ||
          (slots & (slots - 1)) != 0) {
        illegal(env, "table " + std::to_string(k) +
                         " needs 256 one-byte codes and a power of two of slots");
      }
    }
    std::vector<jsize> lengths(static_cast<std::size_t>(tableCount) * 6);
    for (jsize k = 0; k < tableCount; ++k) {
      const TableArrays& a = arrays[k];
      const jarray all[6] = {a.oneByte, a.slots, a.keyStart, a.keyLength, a.keyCode, a.keys};
      for (int e = 0; e < 6; ++e) {
        lengths[6 * k + e] = env->GetArrayLength(all[e]);
      }
    }

    PlainRun run{at, 0};
    jsize broken = -1;
    bool holding = false;
    {
      HeldArrays held(env);
      auto* bytes = static_cast<const int8_t*>(held.hold(buffer, JNI_ABORT));
      auto* out = static_cast<int32_t*>(held.hold(codes, 0));
      std::vector<LabelTable> labelTables(static_cast<std::size_t>(tableCount));
      // An empty array may come back as null; nothing is read from it or written to it then.
      holding = (bytes != nullptr || bufferLength == 0) && (out != nullptr || codesLength == 0);
      for (jsize k = 0; k < tableCount && holding; ++k) {
        const TableArrays& a = arrays[k];
        const jarray all[6] = {a.oneByte, a.slots, a.keyStart, a.keyLength, a.keyCode, a.keys};
        void* data[6];
        for (int e = 0; e < 6 && holding; ++e) {
          data[e] = held.hold(all[e], JNI_ABORT);
          holding = data[e] != nullptr || lengths[6 * k + e] == 0;
        }
        if (!holding) {
          break;
        }
        const auto span = [&](int e) {
          return std::span<const int32_t>(static_cast<const int32_t*>(data[e]),
                                          static_cast<std::size_t>(lengths[6 * k + e]));
        };
        LabelTable& table = labelTables[k];
        table = {span(0),
                 span(1),
                 span(2),
                 span(3),
                 span(4),
                 std::span<const int8_t>(static_cast<const int8_t*>(data[5]),
                                         static_cast<std::size_t>(lengths[6 * k + 5]))};
        if (broken < 0 && !tableHoldsTogether(table)) {
          broken = k;
        }
      }
      if (holding && broken < 0) {
        run = readPlainRecords({bytes, static_cast<std::size_t>(filled)}, at,
                               std::min(startLimit, filled), delimiter, crlf != JNI_FALSE, column,
                               labelTables, capacity, out);
      }
    }
    if (broken >= 0) {
      illegal(env, "table " + std::to_string(broken) +
                       " does not hold together: a slot names no entry, an entry's bytes lie "
                       "outside its keys, or no slot is free");
    }
    if (!holding) {
      throw std::bad_alloc();
    }
    const jint values[2] = {run.end, run.records};
    env->SetIntArrayRegion(result, 0, 2, values);
    checkPending(env);
  });
}
