#include "frmiPodInfo.h"

#include "BackgroundTask.h"
#include "CaptionBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvanel::device {

iPodInfo::iPodInfo(const QString &iPodDrive, QWidget *owner)
    : DeviceWindow("iPodInfo", QStringLiteral("iPod Information"), QSize(470, 400), owner), m_iPodDrive(iPodDrive),
      m_task(new BackgroundTask(this))
{
    lblInfo = addLabel("lblInfo", QStringLiteral("Your iPod Info"));
    lblModel = addLabel("lblModel", QString());
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    content()->addWidget(List1, 1);
    lblNote = addLabel("lblNote", QString());
    lblNote->hide();
    cmdOK = makeButton("cmdOK", QStringLiteral("OK"));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdOK);
    content()->addLayout(row);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

iPodInfo::~iPodInfo() = default;

void iPodInfo::Form_Load()
{
    setBusy(true);
    struct Found
    {
        SysInfoRead read;
        IpodModel model;
    };
    m_task->run(
        [drive = m_iPodDrive] {
            SysInfoRead read = readSysInfo(drive);
            IpodModel model = identifyModel(parseSysInfoFields(read.rows), readSysInfoExtended(drive));
            return Found{std::move(read), std::move(model)};
        },
        [this](const Found &found) {
            setBusy(false);
            showModel(found.model);
            List1->clear();
            List1->addItems(found.read.rows);
            lblNote->setText(found.read.note);
            lblNote->setVisible(!found.read.note.isEmpty());
            setWindowModality(Qt::WindowModal);
            show();
            emit loadFinished();
        });
}

void iPodInfo::showModel(const IpodModel &model)
{
    const QString caption = model.known() || !model.modelNumber.isEmpty()
                                ? QStringLiteral("iPod Information - ") + model.displayName()
                                : QStringLiteral("iPod Information");
    setWindowTitle(caption);
    captionBar()->lblCaption->setText(caption);
    lblModel->setText(model.summary());
}

} // namespace corvanel::device
