#pragma once
// Whole numbers read from text: header fields, ports, typed answers, times.
#include <QStringView>

#include <cstdint>
#include <optional>

namespace corvanel::platform {

// The value of the digits at the start of a text, after blanks and an optional sign, the way
// the classic runtime's Val reads "42abc" as 42. No digits give 0; a value past 64 bits stops
// at the largest one instead of wrapping.
int64_t leadingInteger(QStringView text);

// The value of a text that is a whole number and nothing else (blanks around it allowed).
std::optional<int64_t> wholeInteger(QStringView text);

} // namespace corvanel::platform
