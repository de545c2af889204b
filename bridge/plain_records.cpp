#include "plain_records.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tallowmere::bridge {
namespace {

constexpr int8_t quote = '"';
constexpr int8_t newline = '\n';

// The code of a longer cell, or -1 when the column has not met it: the reader's hash (31 h + b
// over the signed bytes, then h ^ h >>> 16) and its linear probing.
int32_t lookUp(const LabelTable& table, const int8_t* cell, int32_t length) {
  uint32_t hash = 0;
  for (int32_t i = 0; i < length; ++i) {
    hash = 31 * hash + static_cast<uint32_t>(static_cast<int32_t>(cell[i]));
  }
  hash ^= hash >> 16;
  const auto mask = static_cast<uint32_t>(table.slots.size() - 1);
  for (uint32_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const int32_t entry = table.slots[slot] - 1;
    if (entry < 0) {
      return -1;
    }
    if (table.keyLength[entry] == length &&
        std::memcmp(table.keys.data() + table.keyStart[entry], cell,
                    static_cast<std::size_t>(length)) == 0) {
      return table.keyCode[entry];
    }
  }
}

int32_t codeOf(const LabelTable& table, const int8_t* cell, int32_t length) {
  if (length == 0) {
    return 0;
  }
  if (length == 1) {
    return table.oneByte[static_cast<uint8_t>(cell[0])];
  }
  return lookUp(table, cell, length);
}

}  // namespace

bool tableHoldsTogether(const LabelTable& table) {
  const std::size_t entries =
      std::min({table.keyStart.size(), table.keyLength.size(), table.keyCode.size()});
  bool free = false;
  for (const int32_t slot : table.slots) {
    if (slot == 0) {
      free = true;
      continue;
    }
    if (slot < 0 || static_cast<std::size_t>(slot) > entries) {
      return false;
    }
    const int64_t start = table.keyStart[slot - 1], length = table.keyLength[slot - 1];
    if (start < 0 || length < 0 || start + length > static_cast<int64_t>(table.keys.size())) {
      return false;
    }
  }
  return free && table.oneByte.size() == 256 && !table.slots.empty() &&
         (table.slots.size() & (table.slots.size() - 1)) == 0;
}

PlainRun readPlainRecords(std::span<const int8_t> bytes, int32_t at, int32_t startLimit,
                          int8_t delimiter, bool crlf, std::span<const int32_t> columnTable,
                          std::span<const LabelTable> tables, int32_t capacity, int32_t* codes) {
  const int8_t* b = bytes.data();
  const auto limit = static_cast<int32_t>(bytes.size());
  const auto width = static_cast<int32_t>(columnTable.size());
  // Bytes up to the space are trimmed (the delimiter excepted); a byte of 0x80 or more is not.
  const auto isSpace = [delimiter](int8_t c) { return c >= 0 && c <= ' ' && c != delimiter; };
  // The bytes that are a cell of their own when the separator follows: no space, no quote, no
  // delimiter, no line break. Most labelled columns are of such cells, which skip the general
  // path below (the same code, found in fewer steps).
  std::array<bool, 256> alone{};
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<int8_t>(c);
    alone[static_cast<std::size_t>(c)] =
        !isSpace(byte) && byte != quote && byte != delimiter && byte != newline;
  }
  PlainRun run{at, 0};
  while (run.records < capacity && run.end < startLimit) {
    int32_t p = run.end;
    bool plain = true;
    for (int32_t column = 0; column < width && plain; ++column) {
      const bool lastCell = column == width - 1;
      const int32_t k = columnTable[column];
      if (p + 1 < limit && b[p + 1] == (lastCell ? newline : delimiter) &&
          alone[static_cast<uint8_t>(b[p])] && !(lastCell && crlf)) {
        if (k >= 0) {
          const int32_t code = tables[k].oneByte[static_cast<uint8_t>(b[p])];
          if (code < 0) {
            plain = false;
            break;
          }
          codes[static_cast<std::ptrdiff_t>(run.records) * std::ssize(tables) + k] = code;
        }
        p += 2;
        continue;
      }
      while (p < limit && isSpace(b[p]) && b[p] != newline) {
        ++p;
      }
      const int32_t cellFrom = p;
      while (p < limit && b[p] != delimiter && b[p] != newline && b[p] != quote) {
        ++p;
      }
      if (p == limit || b[p] == quote) {
        plain = false;  // runs past the bytes, or quoted: the reader's own
        break;
      }
      int32_t cellTo = p;
      while (cellTo > cellFrom && isSpace(b[cellTo - 1])) {
        --cellTo;
      }
      // The line must end at the last cell and not before; a line of one empty cell is blank.
      if ((b[p] == newline) != lastCell || (width == 1 && cellFrom == cellTo)) {
        plain = false;
        break;
      }
      if (k >= 0) {
        const int32_t code = codeOf(tables[k], b + cellFrom, cellTo - cellFrom);
        if (code < 0) {
          plain = false;  // a label met for the first time: the reader names it
          break;
        }
        codes[static_cast<std::ptrdiff_t>(run.records) * std::ssize(tables) + k] = code;
      }
      if (lastCell && crlf && b[p - 1] != '\r') {
        plain = false;
        break;
      }
      ++p;
    }
    if (!plain) {
      break;
    }
    run.end = p;
    ++run.records;
  }
  return run;
}

}  // namespace tallowmere::bridge
