// The command line's CSV reader in the library, for its most common records: a run of "plain"
// records (no quote, every cell a label the reader's column has met before, the header's number
// of cells, ended by a line break) is read here, against the reader's own dictionaries, and the
// reader handles every other record itself, one at a time, exactly as before. Cells are trimmed of
// the bytes up to the space (the delimiter excepted), as the reader trims them.
#pragma once

#include <cstdint>
#include <span>

namespace tallowmere::bridge {

// One kept column's labels as the reader keeps them (Quorvane.homals.cli.LabelColumn.Part): the
// code of each one-byte cell or -1, and an open-addressing table of the longer cells (slots hold
// entry + 1, 0 for none; entry e is keys[keyStart[e] .. + keyLength[e]] with code keyCode[e]),
// hashed as the reader hashes them.
struct LabelTable {
  std::span<const int32_t> oneByte;  // 256
  std::span<const int32_t> slots;    // a power of two
  std::span<const int32_t> keyStart, keyLength, keyCode;
  std::span<const int8_t> keys;
};

// Whether a table can be searched without reading outside its arrays or probing for ever: every
// slot names an entry whose bytes lie within the keys, and some slot is free.
bool tableHoldsTogether(const LabelTable& table);

struct PlainRun {
  int32_t end = 0;      // where the first record not read begins
  int32_t records = 0;  // records read, each one line
};

// Reads plain records from `at` while each begins before `startLimit` and ends within `bytes`,
// at most `capacity` of them. columnTable[c] is the table of column c, or -1 for a column not
// kept; the code of record r's cell in the column of table k goes to codes[r * tables + k]
// (0 for an empty cell): a record's codes side by side, where a column's codes apart would put
// every column's stores on the same cache sets.
PlainRun readPlainRecords(std::span<const int8_t> bytes, int32_t at, int32_t startLimit,
                          int8_t delimiter, bool crlf, std::span<const int32_t> columnTable,
                          std::span<const LabelTable> tables, int32_t capacity, int32_t* codes);

}  // namespace tallowmere::bridge
