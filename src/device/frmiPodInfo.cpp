#include "frmiPodInfo.h"

#include "BackgroundTask.h"

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
    m_task->run([drive = m_iPodDrive] { return readSysInfo(drive); },
                [this](const SysInfoRead &read) {
                    setBusy(false);
                    List1->clear();
                    List1->addItems(read.rows);
                    lblNote->setText(read.note);
                    lblNote->setVisible(!read.note.isEmpty());
                    setWindowModality(Qt::WindowModal);
                    show();
                    emit loadFinished();
                });
}

} // namespace corvanel::device
