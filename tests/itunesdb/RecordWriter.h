#pragma once
// Hand-made iTunesDB records for cases no writer produces, and the reader's walk over bytes.
#include <LoadReport.h>
#include <MusicLibrary.h>
#include <SampleDatabase.h>
#include <iTunesDBReader.h>

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

using namespace corvanel;
using namespace corvanel::itunesdb;
using namespace corvanel::library;

namespace testdb {

inline void put32(QByteArray &bytes, qsizetype at, int32_t value)
{
    qToLittleEndian<int32_t>(value, bytes.data() + at);
}

inline int32_t get32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<int32_t>(bytes.constData() + at);
}

// A record of `headerLength` zero bytes (more when a field lies beyond) with its tag, header length and fields.
inline QByteArray record(const char *tag, int32_t headerLength,
                         std::initializer_list<std::pair<int, int32_t>> fields = {})
{
    qsizetype size = headerLength;
    for (const auto &field : fields)
        size = std::max<qsizetype>(size, field.first + 4);
    QByteArray bytes(size, '\0');
    std::memcpy(bytes.data(), tag, 4);
    put32(bytes, 4, headerLength);
    for (const auto &[at, value] : fields)
        put32(bytes, at, value);
    return bytes;
}

// A string data object: 24-byte header, then position, byte length, encoding, and UTF-16LE.
inline QByteArray stringObject(int32_t type, const QString &text)
{
    QByteArray bytes = record("mhod", 40, {{12, type}, {24, 1}, {28, int32_t(text.size() * 2)}, {32, 1}});
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xff);
        bytes += char(c.unicode() >> 8);
    }
    put32(bytes, 8, int32_t(bytes.size()));
    return bytes;
}

inline QByteArray database()
{
    return record("mhbd", 0x68, {{8, 0}});
}
inline QByteArray dataSet(int32_t type)
{
    return record("mhsd", 0x60, {{8, 0x60}, {12, type}});
}
inline QByteArray track(int32_t id, int32_t lengthMs = 1000, int32_t number = 1)
{
    return record("mhit", 0x9C, {{16, id}, {40, lengthMs}, {44, number}});
}
inline QByteArray playlist()
{
    return record("mhyp", 0x6C);
}
inline QByteArray item(int32_t id)
{
    return record("mhip", 0x4C, {{24, id}});
}

struct Walked
{
    MusicLibrary library;
    LoadReport report;
};

// The reader's walk over the bytes alone, with no drive to measure song files on.
inline std::unique_ptr<Walked> walk(QByteArrayView bytes)
{
    auto result = std::make_unique<Walked>();
    walkITunesDb(bytes, result->library, nullptr, result->report);
    return result;
}

} // namespace testdb
