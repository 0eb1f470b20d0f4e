#include "NumberText.h"

#include <charconv>
#include <limits>
#include <string>

namespace corvanel::platform {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

struct Parsed
{
    int64_t value = 0;
    qsizetype end = 0; // where the digits stopped
    bool digits = false;
    bool overflow = false;
};

// Blanks, an optional sign and the run of ASCII digits at `from`, read with from_chars.
Parsed parseAt(QStringView text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string digits;
    if (negative)
        digits += '-';
    const qsizetype start = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9')
        digits += static_cast<char>(text[i++].unicode());
    Parsed parsed;
    parsed.end = i;
    parsed.digits = i > start;
    if (!parsed.digits)
        return parsed;
    const std::from_chars_result result = std::from_chars(digits.data(), digits.data() + digits.size(), parsed.value);
    parsed.overflow = result.ec == std::errc::result_out_of_range;
    if (parsed.overflow)
        parsed.value = negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return parsed;
}

} // namespace

int64_t leadingInteger(QStringView text)
{
    return parseAt(text, 0).value;
}

std::optional<int64_t> wholeInteger(QStringView text)
{
    const Parsed parsed = parseAt(text, 0);
    if (!parsed.digits || parsed.overflow)
        return std::nullopt;
    for (qsizetype i = parsed.end; i < text.size(); ++i) {
        if (!isBlank(text[i]))
            return std::nullopt;
    }
    return parsed.value;
}

} // namespace corvanel::platform
