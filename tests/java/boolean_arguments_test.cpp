// The native method takes any nonzero jboolean as true. Java code can only pass 0 and 1, so
// this test calls the exported function from C++ through a JVM embedded in the test process,
// with other bytes, and requires the tables of the same call with 0 and 1.
#include <gtest/gtest.h>
#include <jni.h>

#include <vector>

#include "Quorvane_Tallowmere.h"
#include "problem.h"

namespace {

using tallowmere::testing::sameBits;

JavaVM* vm = nullptr;
JNIEnv* env = nullptr;

class EmbeddedJvm : public ::testing::Environment {
 public:
  void SetUp() override {
    JavaVMOption options[] = {{const_cast<char*>("-Xcheck:jni"), nullptr}};
    JavaVMInitArgs args{JNI_VERSION_10, 1, options, JNI_FALSE};
    ASSERT_EQ(JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&env), &args), JNI_OK);
  }
  void TearDown() override { vm->DestroyJavaVM(); }
};
const auto* const embeddedJvm = ::testing::AddGlobalTestEnvironment(new EmbeddedJvm);

jintArray javaInts(const std::vector<jint>& values) {
  const auto length = static_cast<jsize>(values.size());
  jintArray array = env->NewIntArray(length);
  if (length > 0) {
    env->SetIntArrayRegion(array, 0, length, values.data());
  }
  return array;
}

jobjectArray javaTable(jsize rows, jsize columns, double fill) {
  jclass rowClass = env->FindClass("[D");
  jobjectArray table = env->NewObjectArray(rows, rowClass, nullptr);
  const std::vector<double> cells(columns, fill);
  for (jsize r = 0; r < rows; ++r) {
    jdoubleArray row = env->NewDoubleArray(columns);
    env->SetDoubleArrayRegion(row, 0, columns, cells.data());
    env->SetObjectArrayElement(table, r, row);
    env->DeleteLocalRef(row);
  }
  return table;
}

std::vector<double> cellsOf(jobjectArray table) {
  std::vector<double> cells;
  for (jsize r = 0; r < env->GetArrayLength(table); ++r) {
    auto row = static_cast<jdoubleArray>(env->GetObjectArrayElement(table, r));
    std::vector<double> values(env->GetArrayLength(row));
    env->GetDoubleArrayRegion(row, 0, static_cast<jsize>(values.size()), values.data());
    cells.insert(cells.end(), values.begin(), values.end());
    env->DeleteLocalRef(row);
  }
  return cells;
}

struct Flags {
  jboolean timing, useWeights, writeObjectScores;
};

struct Tables {
  std::vector<double> scores, categories;
};

// Two active variables (k = 2 and 3) with integer weights in column 2, two dimensions.
Tables run(Flags flags) {
  constexpr jint objects = 6, dimensions = 2;
  EXPECT_EQ(env->PushLocalFrame(32), JNI_OK);
  jobjectArray scores = javaTable(objects + 1, dimensions + 1, 0.5);
  jobjectArray categories = javaTable(1 + 2 + 3, dimensions + 1, 0.25);
  Java_Quorvane_Tallowmere_runHomals(
      env, nullptr, dimensions, 3, objects, 3, 20, 0, 2, 0, 2, flags.timing, flags.useWeights,
      flags.writeObjectScores, javaInts({0, 1}), javaInts({}), javaInts({2, 3}), javaInts({}),
      javaInts({0, 0}), javaInts({}), javaInts({0, 0}), javaInts({}),
      javaInts({1, 1, 3, 2, 2, 1, 1, 3, 2, 2, 1, 5, 1, 2, 1, 2, 3, 4}), 1e-12, 1e-12, scores,
      categories);
  EXPECT_FALSE(env->ExceptionCheck());
  Tables tables{cellsOf(scores), cellsOf(categories)};
  env->PopLocalFrame(nullptr);
  return tables;
}

TEST(BooleanArguments, TheProblemDependsOnBothEffectiveFlags) {
  const Tables weighted = run({0, 1, 1});
  const Tables unweighted = run({0, 0, 1});
  const Tables noScores = run({0, 0, 0});
  EXPECT_FALSE(sameBits(weighted.categories, unweighted.categories));
  EXPECT_FALSE(sameBits(unweighted.scores, noScores.scores));
}

class NonzeroBoolean : public ::testing::TestWithParam<Flags> {};

TEST_P(NonzeroBoolean, ActsAsTrue) {
  const Flags bytes = GetParam();
  const Flags normalised{bytes.timing != 0, bytes.useWeights != 0, bytes.writeObjectScores != 0};
  const Tables expected = run(normalised);
  const Tables actual = run(bytes);
  EXPECT_TRUE(sameBits(actual.scores, expected.scores));
  EXPECT_TRUE(sameBits(actual.categories, expected.categories));
}

INSTANTIATE_TEST_SUITE_P(Bytes, NonzeroBoolean,
                         ::testing::Values(Flags{2, 0x80, 0xFF}, Flags{0xFF, 2, 0x80},
                                           Flags{0x80, 0xFF, 2}, Flags{0, 0x7F, 0},
                                           Flags{0x40, 0, 0x01}));

}  // namespace
