// The library's reading of the reader's plain records: where a run stops and the codes it finds,
// on every machine the library is built for (the Java suite compares whole files with the
// reader's own reading).
#include "plain_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tallowmere::bridge {
namespace {

struct Run {
  const char* text;
  int32_t records;
  int32_t end;
  std::vector<int32_t> codes;
};

class PlainRecords : public testing::TestWithParam<Run> {};

// Two columns, the first kept: "a" is code 1, "bb" (a longer cell, in the slot its hash names)
// code 2, and a byte of 0x80 or more in a one-byte cell code 3.
TEST_P(PlainRecords, StopAtTheFirstRecordTheReaderMustRead) {
  std::vector<int32_t> oneByte(256, -1), slots(4, 0);
  oneByte['a'] = 1;
  oneByte[0xE9] = 3;
  uint32_t hash = 31 * uint32_t{'b'} + 'b';
  hash ^= hash >> 16;
  slots[hash & 3] = 1;
  const std::vector<int32_t> keyStart{0}, keyLength{2}, keyCode{2};
  const std::vector<int8_t> keys{'b', 'b'};
  const LabelTable table{oneByte, slots, keyStart, keyLength, keyCode, keys};
  ASSERT_TRUE(tableHoldsTogether(table));
  const std::string text = GetParam().text;
  std::vector<int8_t> bytes(text.size());
  std::memcpy(bytes.data(), text.data(), text.size());
  const std::vector<int32_t> columns{0, -1};
  std::vector<int32_t> codes(8, -7);
  const PlainRun run = readPlainRecords(bytes, 0, static_cast<int32_t>(bytes.size()), ',', false,
                                        columns, {&table, 1}, 8, codes.data());
  EXPECT_EQ(run.records, GetParam().records);
  EXPECT_EQ(run.end, GetParam().end);
  codes.resize(static_cast<std::size_t>(run.records));
  EXPECT_EQ(codes, GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, PlainRecords,
    testing::Values(Run{"a,x\n bb ,y\na,z\n", 3, 15, {1, 2, 1}},
                    Run{"\xE9,x\n", 1, 4, {3}},         // a byte above 0x7F is no space
                    Run{"a,x\nc,y\n", 1, 4, {1}},       // c is new
                    Run{"a,x\n\"a\",y\n", 1, 4, {1}},   // a quote
                    Run{"a,x\na\nbb,y\n", 1, 4, {1}},   // a short line
                    Run{"a,x\na,y,z\n", 1, 4, {1}},     // a long one
                    Run{"a,x\na,y", 1, 4, {1}},         // no line break at the end
                    Run{",x\n\t,y\n", 2, 7, {0, 0}}));  // empty cells, a tab trimmed

}  // namespace
}  // namespace tallowmere::bridge
