#pragma once
// What the Updater does to the program folder and to the running main program.
#include <QString>

#include <optional>

namespace corvanel::updater {

// The main program's file name in the program folder.
inline constexpr char kMainProgram[] = "corvanel";

// The process ID of the command line: its leading digits, 0 when there are none.
qint64 processIdFromArgument(const QString &argument);

// True when the process runs the main program of this folder, and no other program.
bool isOurProgram(qint64 pid, const QString &folder);
// True while the process exists and has not ended (a zombie has ended).
bool processAlive(qint64 pid);

// The first pending replacement ("*.new") of the folder, by name.
std::optional<QString> firstPendingReplacement(const QString &folder);

// True when the replacement's target is the main program, whose file may still be busy.
bool isMainProgram(const QString &targetName);

// Puts a copy of source in place of target in one step: a copy beside the target, then a
// rename over it. The target keeps its permissions. A target without its owner's write
// permission is read-only and is not replaced.
bool copyOver(const QString &source, const QString &target);

} // namespace corvanel::updater
