#pragma once
// Copying one file into place without ever leaving half of it under its name: the bytes go
// to a hidden temporary file in the target folder, which is renamed over the name at the end.
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

namespace corvanel::extract {

// What a copy ended with: 0, or the errno of the step that failed; ECANCELED when stopped.
struct CopyResult
{
    int error = 0;
    bool sameFile = false; // the destination is the source file itself (under any name)
    explicit operator bool() const { return error == 0; }
};

// Creates every missing folder of `path` (which names a file: its last component is not made).
CopyResult makeFolders(const QString &path);

// Copies `source` to `destination` (an existing file is replaced) through a temporary file in
// the destination's folder, with the kernel's copy where it serves. As with `cp`, an existing
// file without write permission is not replaced (EACCES), and a destination that is the source
// file itself is never written (`sameFile`). `onBytes` hears of every block copied; `stop` is
// checked between blocks. On any failure, and when stopped, the temporary file is removed and
// `destination` is untouched.
CopyResult copyFile(const QString &source, const QString &destination, const std::atomic<bool> &stop,
                    const std::function<void(int64_t done, int64_t total)> &onBytes = {});

// Writes `bytes` as a new file `destination` through a temporary file beside it; an existing
// entry of that name, of any kind, is left as it is (EEXIST).
CopyResult writeNewFile(const QString &destination, const QByteArray &bytes);

} // namespace corvanel::extract
