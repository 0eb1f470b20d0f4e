#include "SkinStyle.h"

#include <QString>
#include <QWidget>

namespace corvanel::skin {

namespace {

const char *const kStyle = R"(
QWidget { font-family: Verdana, "DejaVu Sans", sans-serif; font-size: 9pt; color: #e8ecf2; }
QLabel#fieldCaption, QLabel#lblText { color: #9fb4cc; font-weight: bold; font-size: 8pt; letter-spacing: 1px; }
QListWidget, QTreeView, QListView, QLineEdit, QComboBox {
  background: rgba(12, 16, 22, 200); border: 1px solid rgba(255,255,255,28); border-radius: 6px;
  selection-background-color: #e8892b; selection-color: #ffffff; outline: 0; }
QPlainTextEdit, QTextEdit { background: #15191f; border: 1px solid rgba(255,255,255,28); border-radius: 6px;
  selection-background-color: #e8892b; selection-color: #ffffff; }
QListWidget::item { padding: 2px 6px; }
QListWidget::item:selected, QTreeView::item:selected, QListView::item:selected { background: #e8892b; color: white; }
QListWidget::item:hover:!selected, QTreeView::item:hover:!selected { background: rgba(255,255,255,18); }
QTreeView { alternate-background-color: rgba(255,255,255,9); }
QTreeView::item { padding: 2px 4px; border: 0; }
QHeaderView::section { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #3a4452, stop:1 #2a313b);
  color: #cfd8e3; border: 0; border-right: 1px solid #1b2027; padding: 4px 6px; font-weight: bold; }
QLineEdit, QComboBox { padding: 4px 8px; }
QComboBox QAbstractItemView { background: #2a3038; selection-background-color: #e8892b; }
QLineEdit:focus, QListWidget:focus, QTreeView:focus, QListView:focus { border: 1px solid #e8892b; }
QPushButton { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #4a5563, stop:1 #323a45);
  border: 1px solid #1b2027; border-radius: 5px; padding: 5px 12px; color: #f1f4f8; }
QPushButton:hover { background: qlineargradient(x1:0,y1:0,x2:0,y2:1, stop:0 #f19a3e, stop:1 #d0731c); }
QPushButton:pressed { background: #b9621a; }
QPushButton:disabled { color: #7d8793; background: #2b3139; }
QToolButton { background: transparent; border: 0; padding: 2px; }
QToolButton:hover { background: rgba(255,255,255,24); border-radius: 3px; }
QGroupBox { border: 1px solid rgba(255,255,255,28); border-radius: 8px; margin-top: 14px;
  background: rgba(12, 16, 22, 150); padding: 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; color: #f0a458; font-weight: bold; }
QScrollBar:vertical { background: transparent; width: 10px; margin: 2px; }
QScrollBar::handle:vertical { background: rgba(255,255,255,60); border-radius: 4px; min-height: 24px; }
QScrollBar:horizontal { background: transparent; height: 10px; margin: 2px; }
QScrollBar::handle:horizontal { background: rgba(255,255,255,60); border-radius: 4px; min-width: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }
QProgressBar { background: #15181d; border: 1px solid #4a5260; border-radius: 3px; }
QProgressBar::chunk { background: #4d8fe0; border-radius: 2px; }
QMenu { background: #2a3038; color: #e8ecf2; border: 1px solid #0b0d10; padding: 4px 0px; }
QMenu::item { padding: 5px 30px 5px 28px; background: transparent; }
QMenu::item:selected { background: #e8782a; color: #ffffff; }
QMenu::item:disabled { color: #6f7987; background: transparent; }
QMenu::separator { height: 1px; background: #3d4550; margin: 4px 8px; }
QMenu::indicator { width: 14px; height: 14px; left: 8px; }
QDialog, QMessageBox, QInputDialog, QColorDialog, QFileDialog { background: #232a33; }
QMessageBox QLabel, QDialog QLabel { color: #e8ecf2; }
SkinnedWindow QLabel#lblCaption { font-size: 14pt; font-weight: bold; color: #ffffff; }
QLabel#lblTitle { font-size: 11pt; font-weight: bold; color: #ffffff; }
QLabel#lblArtist, QLabel#lblAlbum, QLabel#lblGenre, QLabel#lblTime { color: #b8c4d2; }
QLabel#idleHint { color: #6f7c8c; font-style: italic; }
QWidget#frmEQ { background: #232a33; }
QGroupBox#fraExtract { background: #1f252d; }
QWidget#frmEQ QLabel { font-weight: bold; }
QDialog#frmDefaultPlayer QListWidget::item { padding: 3px 6px; }
QDialog#frmDefaultPlayer QPushButton { padding: 5px 18px; }
QWidget#frmUpdater QGroupBox { border-color: #4a5260; border-radius: 4px; margin-top: 10px; background: transparent; }
QWidget#frmUpdater QGroupBox::title { left: 8px; padding: 0 3px; color: #aab4c4; font-weight: normal; }
QWidget#frmUpdater QProgressBar { background: transparent; border: none; }
)";

} // namespace

const QString &styleSheet()
{
    static const QString sheet = QString::fromLatin1(kStyle);
    return sheet;
}

void applyStyle(QWidget *window)
{
    if (window)
        window->setStyleSheet(styleSheet());
}

} // namespace corvanel::skin
