#include "frmCheckup.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <memory>

namespace corvanel::app {

using namespace corvanel::checkup;

namespace {

// The mark before each finding, in the colour of its severity.
QString severityMark(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("<b style=\"color:#ff6b6b\">Error</b>");
    case Severity::Warning:
        return QStringLiteral("<b style=\"color:#ffb347\">Warning</b>");
    case Severity::Info:
        break;
    }
    return QStringLiteral("<b style=\"color:#8fb8ff\">Info</b>");
}

QString remedyButtonName(Remedy remedy)
{
    switch (remedy) {
    case Remedy::ReadTags:
        return QStringLiteral("cmdReadTags");
    case Remedy::ShowOrphans:
        return QStringLiteral("cmdShowOrphans");
    case Remedy::CheckMissing:
        return QStringLiteral("cmdCheckMissing");
    case Remedy::None:
        break;
    }
    return QString();
}

} // namespace

frmCheckup::frmCheckup(const QString &iPodDrive, QWidget *owner)
    : DeviceWindow("frmCheckup", QStringLiteral("iPod Check-up"), QSize(620, 520), owner), m_iPodDrive(iPodDrive),
      m_task(new ScanTask(this))
{
    lblStatus = addLabel("lblStatus", QStringLiteral("Please wait while your iPod is checked..."));
    auto *progressRow = new QHBoxLayout;
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, 0);
    cmdCancel = makeButton("cmdCancel", QStringLiteral("Cancel"));
    progressRow->addWidget(barProgress, 1);
    progressRow->addWidget(cmdCancel);
    content()->addLayout(progressRow);

    lstFindings = new QScrollArea(this);
    lstFindings->setObjectName(QStringLiteral("lstFindings"));
    lstFindings->setWidgetResizable(true);
    lstFindings->setFrameShape(QFrame::NoFrame);
    // The findings lie on the window's own backdrop, each in a thin frame.
    setStyleSheet(QStringLiteral("#lstFindings, #lstFindingsRows { background: transparent; }"
                                 "QFrame[finding=\"true\"] { border: 1px solid #5a5f66; border-radius: 4px; }"
                                 "QFrame[finding=\"true\"] QLabel { border: none; }"));
    auto *list = new QWidget(lstFindings);
    list->setObjectName(QStringLiteral("lstFindingsRows"));
    m_rows = new QVBoxLayout(list);
    m_rows->addStretch(1);
    lstFindings->setWidget(list);
    content()->addWidget(lstFindings, 1);

    cmdClose = makeButton("cmdClose", QStringLiteral("Close"));
    // The findings take all the height there is; the close button sits below them.
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(cmdClose);
    content()->addLayout(buttonRow);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, [this] {
        m_task->cancel();
        cmdCancel->setEnabled(false);
    });
    connect(m_task, &ScanTask::statusChanged, lblStatus, &QLabel::setText);
    connect(m_task, &ScanTask::progressed, this, [this](qint64 done, qint64 total) {
        barProgress->setRange(0, static_cast<int>(std::min<qint64>(total, INT_MAX)));
        barProgress->setValue(static_cast<int>(std::min<qint64>(done, INT_MAX)));
    });
}

frmCheckup::~frmCheckup()
{
    // The worker writes the report: it must be over before the report goes.
    delete m_task;
}

void frmCheckup::start()
{
    show();
    auto result = std::make_shared<CheckupReport>();
    m_task->start(
        [drive = m_iPodDrive, result](const ScanControl &control) { *result = IpodCheckup(drive).run(control); });
    connect(
        m_task, &ScanTask::finished, this,
        [this, result] {
            m_report = std::move(*result);
            checkupFinished();
        },
        Qt::SingleShotConnection);
}

void frmCheckup::checkupFinished()
{
    barProgress->hide();
    cmdCancel->hide();
    showReport(m_report);
    emit finished();
}

void frmCheckup::showReport(const CheckupReport &report)
{
    while (m_rows->count() > 1) {
        std::unique_ptr<QLayoutItem> item(m_rows->takeAt(0));
        delete item->widget();
    }
    m_remedyButtons.clear();
    int errors = 0;
    int warnings = 0;
    for (const Finding &finding : report.findings) {
        errors += finding.severity == Severity::Error;
        warnings += finding.severity == Severity::Warning;
        m_rows->insertWidget(m_rows->count() - 1, findingRow(finding));
    }
    lblStatus->setText(QStringLiteral("%1 error%2 and %3 warning%4 on the iPod at %5.")
                           .arg(errors)
                           .arg(errors == 1 ? QString() : QStringLiteral("s"))
                           .arg(warnings)
                           .arg(warnings == 1 ? QString() : QStringLiteral("s"))
                           .arg(report.ipod));
}

QWidget *frmCheckup::findingRow(const Finding &finding)
{
    auto *row = new QFrame;
    row->setObjectName(QStringLiteral("finding_") + finding.code);
    row->setProperty("finding", true);
    auto *layout = new QVBoxLayout(row);
    auto *text =
        new QLabel(severityMark(finding.severity) + QStringLiteral("&nbsp;&nbsp;") + finding.text.toHtmlEscaped(), row);
    text->setObjectName(QStringLiteral("lblText"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text);
    if (!finding.action.isEmpty()) {
        auto *action = new QLabel(QStringLiteral("<i>") + finding.action.toHtmlEscaped() + QStringLiteral("</i>"), row);
        action->setObjectName(QStringLiteral("lblAction"));
        action->setWordWrap(true);
        layout->addWidget(action);
    }
    if (finding.remedy != Remedy::None) {
        auto *button = new QPushButton(remedyCaption(finding.remedy), row);
        button->setObjectName(remedyButtonName(finding.remedy));
        connect(button, &QPushButton::clicked, this, [this, remedy = finding.remedy] { emit remedyChosen(remedy); });
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(button);
        layout->addLayout(buttons);
        m_remedyButtons.push_back(button);
    }
    return row;
}

} // namespace corvanel::app
