#pragma once
// The update server's listing: lines of "version::address::file name", comments starting
// with "//". Parsing is kept apart from the window so that it can be tested and fuzzed alone.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvanel::update {

enum class ListingLineKind {
    Comment,  // empty, or starting with "//"
    NotNewer, // our version is the same or newer
    Download, // a newer file to fetch
    Error,    // a newer line that cannot be used
};

struct ListingLine
{
    ListingLineKind kind = ListingLineKind::Comment;
    int version = 0;
    QString address;  // the download address
    QString fileName; // saved under this name in the program folder
    QString error;    // why a line was refused
};

// Judges one line (without its line end) against the local version number.
ListingLine parseListingLine(const QString &line, int localVersion);

// The lines of a listing; lines end in CR LF (a bare LF is accepted too).
QStringList splitListing(const QByteArray &listing);

// A target name must name a file directly inside the program folder.
bool isPlainFileName(const QString &name);

// major × 100 + minor × 10 + revision as a 16-bit number; nothing when it does not fit.
std::optional<int> localVersionNumber(int major, int minor, int revision);
// The running program's own number.
std::optional<int> localVersionNumber();

// "http://<server>/downloads/corvanel/version.txt"; the server is CORVANEL_UPDATE_SERVER
// (host or host:port) when set, else the build's default host.
QString listingAddress();

// The file a package installs beside the programs. Such a copy is updated by the package
// manager and never replaces its own files.
inline constexpr const char *kPackagedMarker = "packaged";
// The program folder holds that marker, or the user cannot write it.
bool isManagedInstall(const QString &programFolder);

} // namespace corvanel::update
