#include "QtDialogs.h"

#include "clsBrowseFolder.h"

#include "SkinStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QVBoxLayout>

namespace corvanel::platform {

using namespace corvanel::skin;

namespace {

// A dialog with an owner inherits the owner's look; one without gets the program's own.
void styleUnowned(QWidget *dialog, QWidget *parent)
{
    if (!parent)
        skin::applyStyle(dialog);
}

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQtButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// As in the classic message box, the first button is the default one.
QMessageBox::StandardButton defaultButton(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes;
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
        break;
    }
    return QMessageBox::Ok;
}

QStyle::StandardPixmap toStylePixmap(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QStyle::SP_MessageBoxInformation;
    case MessageIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case MessageIcon::Critical:
        return QStyle::SP_MessageBoxCritical;
    case MessageIcon::Question:
    case MessageIcon::None:
        break;
    }
    return QStyle::SP_MessageBoxQuestion;
}

QScreen *screenFor(QWidget *parent)
{
    if (parent && parent->screen())
        return parent->screen();
    return QGuiApplication::primaryScreen();
}

std::unique_ptr<QDialog> createScrollingBox(const Message &message, QWidget *parent)
{
    auto dialog = std::make_unique<QDialog>(parent);
    styleUnowned(dialog.get(), parent);
    dialog->setWindowTitle(message.title);
    dialog->setObjectName(QStringLiteral("scrollingMessageBox"));

    auto *layout = new QVBoxLayout(dialog.get());
    auto *row = new QHBoxLayout;
    layout->addLayout(row, 1);
    if (message.icon != MessageIcon::None) {
        auto *iconLabel = new QLabel(dialog.get());
        const int size = dialog->style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
        iconLabel->setPixmap(dialog->style()->standardIcon(toStylePixmap(message.icon)).pixmap(size, size));
        iconLabel->setAlignment(Qt::AlignTop);
        row->addWidget(iconLabel);
    }
    auto *text = new QPlainTextEdit(dialog.get());
    text->setObjectName(QStringLiteral("messageText"));
    text->setReadOnly(true);
    text->setPlainText(message.text);
    row->addWidget(text, 1);

    auto *buttons = new QDialogButtonBox(dialog.get());
    const QMessageBox::StandardButtons wanted = toQtButtons(message.buttons);
    for (QMessageBox::StandardButton b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel}) {
        if (wanted.testFlag(b))
            buttons->addButton(static_cast<QDialogButtonBox::StandardButton>(b));
    }
    if (QPushButton *def =
            buttons->button(static_cast<QDialogButtonBox::StandardButton>(defaultButton(message.buttons)))) {
        def->setDefault(true);
    }
    QPushButton *action = nullptr;
    if (!message.actionButton.isEmpty()) {
        action = buttons->addButton(message.actionButton, QDialogButtonBox::ActionRole);
        action->setObjectName(QStringLiteral("actionButton"));
        action->setAutoDefault(false);
    }
    auto *copy = buttons->addButton(QObject::tr("Copy"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setAutoDefault(false);
    layout->addWidget(buttons);

    QDialog *raw = dialog.get();
    const QString copiedText = message.text;
    QObject::connect(buttons, &QDialogButtonBox::clicked, raw,
                     [raw, buttons, copy, action, copiedText](QAbstractButton *clicked) {
                         if (clicked == copy) {
                             if (QClipboard *clipboard = QGuiApplication::clipboard())
                                 clipboard->setText(copiedText);
                             return;
                         }
                         if (clicked == action) {
                             raw->done(QtDialogs::ActionResult);
                             return;
                         }
                         raw->done(static_cast<int>(buttons->standardButton(clicked)));
                     });

    QSize size(640, 480);
    if (QScreen *screen = screenFor(parent)) {
        const QRect available = screen->availableGeometry();
        size = size.boundedTo(available.size() * 8 / 10);
    }
    dialog->resize(size);
    return dialog;
}

} // namespace

bool QtDialogs::needsScrollingBox(const QString &text, QWidget *parent)
{
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    const QStringList lines = normalised.split(QLatin1Char('\n'));
    if (lines.size() > maxMessageLines)
        return true;

    // The height test needs fonts and screens, which only a GUI application has.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return false;
    QScreen *screen = screenFor(parent);
    if (!screen)
        return false;
    const QRect available = screen->availableGeometry();
    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    // A message box wraps its text at about half the screen's width.
    const int wrapWidth = std::max(200, available.width() / 2);
    qint64 wrappedLines = 0;
    for (const QString &line : lines) {
        const qint64 width = metrics.horizontalAdvance(line);
        wrappedLines += std::max<qint64>(1, (width + wrapWidth - 1) / wrapWidth);
        if (wrappedLines > maxMessageLines)
            return true;
    }
    // Room for the title bar, the buttons and the margins.
    const qint64 chrome = 150;
    return wrappedLines * metrics.lineSpacing() + chrome > available.height();
}

std::unique_ptr<QDialog> QtDialogs::createMessageWidget(const Message &message, QWidget *parent)
{
    if (!message.actionButton.isEmpty() || needsScrollingBox(message.text, parent))
        return createScrollingBox(message, parent);

    auto box = std::make_unique<QMessageBox>(toQtIcon(message.icon), message.title, message.text,
                                             toQtButtons(message.buttons), parent);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(defaultButton(message.buttons));
    styleUnowned(box.get(), parent);
    return box;
}

MessageResult QtDialogs::resultFromExec(int execResult, MessageButtons buttons)
{
    switch (execResult) {
    case QMessageBox::Ok:
        return MessageResult::Ok;
    case QMessageBox::Cancel:
        return MessageResult::Cancel;
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    case ActionResult:
        return MessageResult::Action;
    default:
        return cancellingAnswer(buttons);
    }
}

QWidget *QtDialogs::owner()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

MessageResult QtDialogs::message(const Message &message)
{
    QWidget *parent = owner();
    std::unique_ptr<QDialog> dialog = createMessageWidget(message, parent);
    return resultFromExec(dialog->exec(), message.buttons);
}

std::optional<QString> QtDialogs::input(const QString &title, const QString &prompt, const QString &defaultText)
{
    QWidget *parent = owner();
    QInputDialog dialog(parent);
    styleUnowned(&dialog, parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<QColor> QtDialogs::chooseColor(const QColor &initial)
{
    QWidget *parent = owner();
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

namespace {
// Folders and executable files only. The permission flags of QDir::Filter cannot do this in a
// file dialog: there they hide every file that has a permission outside the filter.
class ProgramFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (!files)
            return true;
        const QFileInfo info = files->fileInfo(files->index(row, 0, parent));
        return info.isDir() || info.isExecutable();
    }
};
} // namespace

std::unique_ptr<QFileDialog> QtDialogs::createProgramChooser(const QString &title, const QString &startFolder,
                                                             QWidget *parent)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, startFolder, QStringLiteral("Programs (*)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The desktop's own dialog ignores the model filter below.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
    dialog->setProxyModel(new ProgramFilter(dialog.get()));
    styleUnowned(dialog.get(), parent);
    return dialog;
}

std::unique_ptr<clsBrowseFolder> QtDialogs::createFolderChooser(const QString &title, const QString &startFolder,
                                                                QWidget *parent)
{
    // New style, file-system folders only, with the files shown for orientation.
    auto chooser = std::make_unique<clsBrowseFolder>();
    chooser->sethWndOwner(parent);
    if (!title.isEmpty())
        chooser->setTitle(title);
    chooser->setInitialDir(startFolder.isEmpty() ? startFolder : QDir::cleanPath(startFolder));
    chooser->setUseNewUI(true);
    chooser->setFileSystemOnly(true);
    chooser->setIncludeFiles(true);
    return chooser;
}

std::optional<QString> QtDialogs::chooseProgram(const QString &title, const QString &startFolder)
{
    QWidget *parent = owner();
    std::unique_ptr<QFileDialog> dialog = createProgramChooser(title, startFolder, parent);
    if (dialog->exec() != QDialog::Accepted)
        return std::nullopt;
    return acceptedProgram(dialog->selectedFiles());
}

std::optional<QString> QtDialogs::acceptedProgram(const QStringList &selectedFiles)
{
    if (selectedFiles.isEmpty())
        return std::nullopt;
    // A typed name bypasses the list's filter, so the choice is checked again; a choice that
    // is no program adds nothing and says nothing, like a cancelled chooser.
    const QFileInfo chosen(selectedFiles.first());
    if (chosen.isFile() && chosen.isExecutable())
        return chosen.absoluteFilePath();
    return std::nullopt;
}

std::optional<QString> QtDialogs::chooseFolder(const QString &title, const QString &startFolder)
{
    QWidget *parent = owner();
    const QString chosen = createFolderChooser(title, startFolder, parent)->BrowseForFolder();
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(chosen);
}

std::optional<QString> QtDialogs::chooseSaveFile(const QString &title, const QString &suggested, const QString &filters)
{
    QFileDialog dialog(owner(), title, suggested, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(suggested);
    // A name typed without an extension takes the one of the filter in use: "(*.csv)" gives "csv".
    const auto takeSuffix = [&dialog](const QString &filter) {
        const qsizetype star = filter.indexOf(QLatin1String("*."));
        if (star >= 0)
            dialog.setDefaultSuffix(
                filter.mid(star + 2).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0));
    };
    takeSuffix(dialog.selectedNameFilter());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, takeSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::cleanPath(dialog.selectedFiles().first());
}

} // namespace corvanel::platform
