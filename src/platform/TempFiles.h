#pragma once
// Temporary files, created at once under a name nobody can guess.
#include <QString>
#include <expected>

namespace corvanel::platform {

// Creates an empty file in the temporary folder named "iTunesDBTemp", random characters and
// suffix, readable and writable by the user only, and returns its path. The caller removes it.
// The error is a sentence for the user.
std::expected<QString, QString> GetTempFile(const QString &suffix = QString());

// The same in a folder of one's choosing.
std::expected<QString, QString> createTempFileIn(const QString &folder, const QString &prefix,
                                                 const QString &suffix = QString());

} // namespace corvanel::platform
