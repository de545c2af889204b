#include "number_text.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace tallowmere::bridge {
namespace {

// The digits follow R. Giulietti's Schubfach method, step for step as the Java writer takes
// them, so that both give the same text for every double. A double is v = c 2^q, and every real
// number in its rounding interval (the half-way points to its neighbours, included when c is
// even) reads back as v. With k the largest integer such that 10^k is at most the interval's
// length, the interval holds at most one multiple of 10^(k+1) and at least one of 10^k: the
// first, when present, is the shortest; otherwise the multiple of 10^k nearest to v (the even
// one of two at equal distance). A 126-bit approximation g of 10^-k locates them exactly.

constexpr int significandBits = 52;
constexpr uint64_t hiddenBit = uint64_t{1} << significandBits;
constexpr int exponentBias = 1075;
constexpr int minExponent = -1074;
constexpr uint64_t mask63 = (uint64_t{1} << 63) - 1;

// floor(e log10 2), floor(log10(3/4 2^e)) and floor(e log2 10) for |e| up to a few thousand
// (arithmetic shifts of negative products round down).
constexpr int floorLog10Pow2(int e) {
  return static_cast<int>(e * 661'971'961'083LL >> 41);
}
constexpr int floorLog10ThreeQuartersPow2(int e) {
  return static_cast<int>((e * 661'971'961'083LL - 274'743'187'321LL) >> 41);
}
constexpr int floorLog2Pow10(int e) {
  return static_cast<int>(e * 913'124'641'741LL >> 38);
}

constexpr int minK = floorLog10ThreeQuartersPow2(minExponent);
constexpr int maxK = floorLog10Pow2(2046 - exponentBias);

// A natural number of any size, 32 bits a word from the lowest: only what the table needs.
struct Natural {
  std::vector<uint32_t> words;

  void multiplyBy(uint32_t factor) {
    uint64_t carry = 0;
    for (uint32_t& word : words) {
      const uint64_t product = uint64_t{word} * factor + carry;
      word = static_cast<uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      words.push_back(static_cast<uint32_t>(carry));
    }
  }
  // floor(this / divisor): floors of successive divisions are the floor of the whole division.
  void divideBy(uint32_t divisor) {
    uint64_t rest = 0;
    for (std::size_t w = words.size(); w-- > 0;) {
      const uint64_t part = rest << 32 | words[w];
      words[w] = static_cast<uint32_t>(part / divisor);
      rest = part % divisor;
    }
  }
  bool bit(int n) const {
    const auto word = static_cast<std::size_t>(n / 32);
    return word < words.size() && (words[word] >> (n % 32) & 1) != 0;
  }
  // floor(this 2^shift), shift of either sign.
  Natural shifted(int shift) const {
    Natural result;
    const int bits = static_cast<int>(words.size()) * 32 + std::max(shift, 0);
    result.words.assign(static_cast<std::size_t>(bits / 32 + 1), 0);
    for (int n = 0; n < bits; ++n) {
      if (n - shift >= 0 && bit(n - shift)) {
        result.words[static_cast<std::size_t>(n / 32)] |= uint32_t{1} << (n % 32);
      }
    }
    return result;
  }
  // Bits from..from + 62 as a number.
  uint64_t bits63(int from) const {
    uint64_t value = 0;
    for (int n = 62; n >= 0; --n) {
      value = value << 1 | (bit(from + n) ? 1 : 0);
    }
    return value;
  }
  void addOne() {
    for (uint32_t& word : words) {
      if (++word != 0) {
        return;
      }
    }
    words.push_back(1);
  }
};

struct Pow10Table {
  std::array<uint64_t, maxK - minK + 1> high{}, low{};

  // g = floor(10^-k 2^-r) + 1 with r chosen so that 2^125 <= g < 2^126: an upper bound, the
  // direction in which the error of the products below stays on the safe side.
  Pow10Table() {
    for (int k = minK; k <= maxK; ++k) {
      const int r = floorLog2Pow10(-k) - 125;
      Natural g;
      if (k <= 0) {
        Natural power{{1}};
        for (int i = 0; i < -k; ++i) {
          power.multiplyBy(10);
        }
        g = power.shifted(-r);
      } else {
        g = Natural{{1}}.shifted(-r);
        for (int i = 0; i < k; ++i) {
          g.divideBy(10);
        }
      }
      g.addOne();
      high[static_cast<std::size_t>(k - minK)] = g.bits63(63);
      low[static_cast<std::size_t>(k - minK)] = g.bits63(0);
    }
  }
};

const Pow10Table& pow10Table() {
  static const Pow10Table table;
  return table;
}

uint64_t multiplyHigh(uint64_t a, uint64_t b) {
  return static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
}

// floor(g x / 2^127), with its lowest bit set when the quotient has a fraction: comparisons with
// even integers then give the same answer as for the exact real quotient.
int64_t roundToOdd(uint64_t gHigh, uint64_t gLow, uint64_t x) {
  const uint64_t lowProductHigh = multiplyHigh(gLow, x);
  const uint64_t highProductLow = gHigh * x;
  const uint64_t highProductHigh = multiplyHigh(gHigh, x);
  const uint64_t middle = (highProductLow >> 1) + lowProductHigh;
  const uint64_t quotient = highProductHigh + (middle >> 63);
  return static_cast<int64_t>(quotient | ((middle & mask63) + mask63) >> 63);
}

constexpr std::array<char, 200> digitPairs = [] {
  std::array<char, 200> pairs{};
  for (int n = 0; n < 100; ++n) {
    pairs[static_cast<std::size_t>(2 * n)] = static_cast<char>('0' + n / 10);
    pairs[static_cast<std::size_t>(2 * n + 1)] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

constexpr std::array<uint64_t, 20> powersOfTen = [] {
  std::array<uint64_t, 20> powers{};
  powers[0] = 1;
  for (std::size_t n = 1; n < powers.size(); ++n) {
    powers[n] = 10 * powers[n - 1];
  }
  return powers;
}();

// The digits of a positive number: floor(b log10 2) or one more for b bits.
int decimalLength(uint64_t digits) {
  const int guess = (64 - std::countl_zero(digits)) * 1233 >> 12;
  return digits >= powersOfTen[static_cast<std::size_t>(guess)] ? guess + 1 : guess;
}

void writePair(uint32_t value, char* out) {
  std::memcpy(out, digitPairs.data() + static_cast<std::size_t>(value) * 2, 2);
}

// Eight digits of a value below 10^8, leading zeros included: four pairs that do not wait for
// one another.
void writeEight(uint32_t value, char* out) {
  const uint32_t high = value / 10000, low = value % 10000;
  writePair(high / 100, out);
  writePair(high % 100, out + 2);
  writePair(low / 100, out + 4);
  writePair(low % 100, out + 6);
}

// The `length` digits of a number (leading zeros where it has fewer), from the right: eight at
// a time, then two at a time. Counting by the length, not by the value, keeps the steps the same
// for the 16 and 17 digits of most scores.
char* writeDigits(uint64_t digits, int length, char* out) {
  char* at = out + length;
  while (at - out >= 8) {
    const uint64_t upper = digits / 100'000'000;
    at -= 8;
    writeEight(static_cast<uint32_t>(digits - upper * 100'000'000), at);
    digits = upper;
  }
  while (at - out >= 2) {
    const uint64_t upper = digits / 100;
    at -= 2;
    writePair(static_cast<uint32_t>(digits - upper * 100), at);
    digits = upper;
  }
  if (at > out) {
    *--at = static_cast<char>('0' + digits);
  }
  return out + length;
}

char* text(const char* words, char* out) {
  const std::size_t length = std::strlen(words);
  std::memcpy(out, words, length);
  return out + length;
}

// digits 10^exponent, digits free of trailing zeros, in Double.toString's layout.
char* layout(uint64_t digits, int exponent, char* out) {
  const int length = decimalLength(digits);
  int scientific = exponent + length - 1;
  char* const start = out;
  if (scientific >= -3 && scientific < 7) {
    if (scientific < 0) {
      // "0." and up to two more zeros, then the digits over whatever zeros are not wanted.
      std::memcpy(out, "0.00", 4);
      return writeDigits(digits, length, out + 1 - scientific);
    }
    const int integerDigits = scientific + 1;
    if (length > integerDigits) {
      // The digits into zeros, then the integer part (at most 7 digits) and the fraction (at
      // most 16) as fixed-size copies around the point: no copy whose length varies.
      char text[32] = {};
      writeDigits(digits, length, text);
      std::memcpy(start, text, 8);
      start[integerDigits] = '.';
      std::memcpy(start + integerDigits + 1, text + integerDigits, 16);
      return start + length + 1;
    }
    // A whole number: its digits, the zeros up to the point, and ".0".
    out = writeDigits(digits, length, out);
    for (int i = length; i < integerDigits; ++i) {
      *out++ = '0';
    }
    *out++ = '.';
    *out++ = '0';
    return out;
  }
  out = writeDigits(digits, length, out + 1);
  start[0] = start[1];
  start[1] = '.';
  if (length == 1) {
    *out++ = '0';
  }
  *out++ = 'E';
  if (scientific < 0) {
    *out++ = '-';
    scientific = -scientific;
  }
  if (scientific >= 100) {
    *out++ = static_cast<char>('0' + scientific / 100);
  }
  if (scientific >= 10) {
    *out++ = static_cast<char>('0' + scientific / 10 % 10);
  }
  *out++ = static_cast<char>('0' + scientific % 10);
  return out;
}

}  // namespace

char* writeShortest(double v, char* out) {
  const auto bits = std::bit_cast<uint64_t>(v);
  if (std::isnan(v)) {
    return text("NaN", out);
  }
  // The sign without a branch: negative and positive values come in no order.
  *out = '-';
  out += bits >> 63;
  if (std::isinf(v)) {
    return text("Infinity", out);
  }
  const uint64_t fraction = bits & (hiddenBit - 1);
  const auto biased = static_cast<int>(bits >> significandBits & 0x7FF);
  if (biased == 0 && fraction == 0) {
    return text("0.0", out);
  }
  const uint64_t c = biased == 0 ? fraction : fraction | hiddenBit;
  const int q = biased == 0 ? minExponent : biased - exponentBias;
  // Units of 2^(q-2): the value, and the ends of its rounding interval; the lower neighbour of a
  // power of two is only half as far, unless the spacing below is the same (subnormals).
  const bool closerBelow = c == hiddenBit && biased > 1;
  const uint64_t cb = c << 2;
  const uint64_t cbl = closerBelow ? cb - 1 : cb - 2;
  const uint64_t cbr = cb + 2;
  const auto out1 = static_cast<int64_t>(c & 1);
  const int k = closerBelow ? floorLog10ThreeQuartersPow2(q) : floorLog10Pow2(q);
  const int h = q + floorLog2Pow10(-k) + 2;
  const Pow10Table& table = pow10Table();
  const uint64_t gHigh = table.high[static_cast<std::size_t>(k - minK)];
  const uint64_t gLow = table.low[static_cast<std::size_t>(k - minK)];
  const int64_t vb = roundToOdd(gHigh, gLow, cb << h);
  const int64_t vbl = roundToOdd(gHigh, gLow, cbl << h) + out1;
  const int64_t vbr = roundToOdd(gHigh, gLow, cbr << h) - out1;

  const int64_t s = vb >> 2;
  int64_t digits = 0;
  int exponent = 0;
  const int64_t sp10 = s / 10 * 10;
  const int64_t tp10 = sp10 + 10;
  const bool shortLow = vbl <= sp10 << 2;
  const bool shortHigh = tp10 << 2 <= vbr;
  if (shortLow != shortHigh) {
    digits = (shortLow ? sp10 : tp10) / 10;
    exponent = k + 1;
  } else {
    const int64_t t = s + 1;
    const bool low = vbl <= s << 2;
    const bool high = t << 2 <= vbr;
    if (low != high) {
      digits = low ? s : t;
    } else {
      const int64_t fromMiddle = vb - ((s + t) << 1);
      digits = fromMiddle < 0 || (fromMiddle == 0 && (s & 1) == 0) ? s : t;
    }
    exponent = k;
  }
  while (digits % 10 == 0) {
    digits /= 10;
    ++exponent;
  }
  return layout(static_cast<uint64_t>(digits), exponent, out);
}

char* writeInteger(int64_t value, char* out) {
  uint64_t magnitude = static_cast<uint64_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = 0 - magnitude;
  }
  return writeDigits(magnitude, magnitude == 0 ? 1 : decimalLength(magnitude), out);
}

char* writeCell(double v, char* out) {
  if (std::isnan(v)) {
    return out;
  }
  // Below 10^15 in magnitude a double is whole when it survives the round trip through an
  // integer (a negative zero too, written 0: its sign means nothing in a table).
  if (std::fabs(v) < 1e15) {
    const auto whole = static_cast<int64_t>(v);
    if (static_cast<double>(whole) == v) {
      return writeInteger(whole, out);
    }
  }
  return writeShortest(v, out);
}

std::size_t scoreRows(std::span<const double> scores, std::ptrdiff_t objectCount,
                      std::ptrdiff_t dimensions, std::span<const double> weights,
                      std::ptrdiff_t first, std::ptrdiff_t last, char* out, int32_t* rowEnds,
                      int64_t firstNumber) {
  char* at = out;
  const bool numbered = firstNumber > 0;
  for (std::ptrdiff_t i = first; i < last; ++i) {
    if (numbered) {
      at = writeInteger(firstNumber + (i - first), at);
      *at++ = ',';
    }
    at = writeCell(weights.empty() ? 1.0 : weights[static_cast<std::size_t>(i)], at);
    for (std::ptrdiff_t d = 0; d < dimensions; ++d) {
      *at++ = ',';
      at = writeCell(scores[static_cast<std::size_t>(d * objectCount + i)], at);
    }
    if (numbered) {
      *at++ = '\n';
    }
    rowEnds[i - first] = static_cast<int32_t>(at - out);
  }
  return static_cast<std::size_t>(at - out);
}

}  // namespace tallowmere::bridge
