#pragma once
// A read-only look at everything that decides whether an iPod's music can be read: which
// databases it holds and which one serves, damage to them, the checksum its model wants,
// songs without files and files without songs, the Play Counts file, free space and the model.
// Nothing on the iPod is written.
#include <IpodModel.h>
#include <TagScan.h>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>
#include <vector>

namespace corvanel::checkup {

using corvanel::itunesdb::ScanControl;

enum class Severity { Error, Warning, Info }; // worst first
// "error", "warning", "info".
QString severityName(Severity severity);

// What the program itself can do about a finding.
enum class Remedy {
    None,
    ReadTags,     // read the library from the songs' own tags
    ShowOrphans,  // list the song files the database does not name
    CheckMissing, // list the songs whose files are gone
};
// The caption of the button that offers it; empty for None.
QString remedyCaption(Remedy remedy);

struct Finding
{
    Severity severity = Severity::Info;
    QString code;        // a stable word for scripts: "database-missing", "checksum-empty"...
    QString text;        // one plain sentence
    QString action;      // what to do; empty when nothing needs doing
    QJsonObject details; // the facts behind the sentence
    Remedy remedy = Remedy::None;
};

struct CheckupReport
{
    QString ipod;                                     // the iPod's folder
    std::optional<corvanel::device::IpodModel> model; // nothing when nothing names it
    std::vector<Finding> findings;                    // worst first
    bool cancelled = false;
};

class IpodCheckup
{
public:
    explicit IpodCheckup(QString ipodFolder) : m_folder(std::move(ipodFolder)) {}

    // Runs every check; `control` hears the status and progress and may stop it (a stopped
    // check-up keeps what it found so far and says so).
    CheckupReport run(const ScanControl &control = {}) const;

private:
    QString m_folder;
};

// Stable order by severity, worst first.
void sortWorstFirst(std::vector<Finding> &findings);

// {"ipod": "...", "model": {...}|null, "findings": [{"severity", "code", "text", "action",
// "details"}]} in UTF-8, worst first.
QByteArray checkupToJson(const CheckupReport &report);

} // namespace corvanel::checkup
