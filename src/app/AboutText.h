#pragma once
#include <QString>

namespace corvanel::library {
struct Song;
}

namespace corvanel::app {

using namespace corvanel::library;

// Title of the About box: "Halvetra : " followed by the caption bar's text.
QString aboutTitle(const QString &captionText);

// Text of the About box: the version line, then the maker and the credits.
QString aboutText();

// The program's version as major.minor.revision, each a plain decimal number.
QString versionText();

// The five lines of the song information box, joined by CR LF.
QString songInformationText(const Song &song);

} // namespace corvanel::app
