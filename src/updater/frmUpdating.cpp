#include "frmUpdating.h"

#include <QLabel>
#include <QVBoxLayout>

namespace corvanel::updater {

frmUpdating::frmUpdating(QString folder, QString commandLine, UpdatingHooks hooks, QWidget *parent)
    : QWidget(parent), m_installer(std::move(folder), std::move(commandLine), std::move(hooks))
{
    setObjectName(QStringLiteral("frmUpdating"));
    setWindowTitle(QStringLiteral("Updater"));
    setStyleSheet(QStringLiteral("QWidget#frmUpdating { background: #1f2329; }"
                                 "QLabel { color: #e8ecf2; font-family: Verdana, 'DejaVu Sans', sans-serif;"
                                 " font-size: 10pt; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    Label1 = new QLabel(QStringLiteral("Please wait, updating Corvanel"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    layout->addWidget(Label1);
    setFixedSize(320, 80);
    connect(&m_installer, &UpdateInstaller::finished, this, &QWidget::close);
}

void frmUpdating::Form_Load()
{
    show();
    m_installer.start();
}

} // namespace corvanel::updater
