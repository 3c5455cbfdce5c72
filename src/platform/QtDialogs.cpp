#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace vigilux::platform {

namespace {

QWidget* owner() {
    return QApplication::activeWindow();
}

QMessageBox::Icon boxIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::None:
        return QMessageBox::NoIcon;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Error:
        return QMessageBox::Critical;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

// Texts carry the program's CR LF line breaks; show them as plain breaks.
QString shownText(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

} // namespace

Dialogs::Answer QtDialogs::message(Icon icon, const QString& title, const QString& text,
                                   Buttons buttons) {
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(shownText(text));
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setIcon(boxIcon(icon));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

QtDialogs::~QtDialogs() {
    delete m_notice.data();
}

QMessageBox* QtDialogs::openNotice() const {
    return m_notice.data();
}

void QtDialogs::notify(Icon icon, const QString& title, const QString& text) {
    // A save failing at every alarm must not stack up boxes: the one open
    // shows the latest error.
    if (m_notice.isNull()) {
        // No parent: it must outlive a window closing under it, and deletes
        // itself once closed.
        m_notice = new QMessageBox();
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_notice->setStandardButtons(QMessageBox::Ok);
        m_notice->setModal(false);
    }
    m_notice->setWindowTitle(title);
    m_notice->setIcon(boxIcon(icon));
    m_notice->setText(shownText(text));
    m_notice->show();
    m_notice->raise();
}

QString QtDialogs::openFile(const QString& title, const QString& filter,
                            const QString& defaultExtension) {
    QFileDialog dialog(owner(), title, QString(), toQtFilter(filter));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

QString QtDialogs::browseFolder(const QString& title) {
    QFileDialog dialog(owner(), title);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    QString path = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    while (path.size() > 1 && path.endsWith(QDir::separator()))
        path.chop(1);
    return path;
}

QString QtDialogs::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace vigilux::platform
