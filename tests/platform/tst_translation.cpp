#include "platform/QtDialogs.h"
#include "platform/QtTranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>

using vigilux::platform::Dialogs;
using vigilux::platform::QtDialogs;

namespace {
QStringList buttonTexts(QWidget* dialog) {
    QStringList texts;
    for (auto* box : dialog->findChildren<QDialogButtonBox*>())
        for (auto* button : box->buttons())
            texts << button->text().remove(u'&');
    texts.sort();
    return texts;
}

// Reads the buttons of the next modal dialog, then closes it with `answer`.
void readNextDialog(QStringList* texts, QDialogButtonBox::ButtonRole answer) {
    QTimer::singleShot(0, [texts, answer] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            readNextDialog(texts, answer);
            return;
        }
        *texts = buttonTexts(dialog);
        for (auto* box : dialog->findChildren<QDialogButtonBox*>())
            for (auto* button : box->buttons())
                if (box->buttonRole(button) == answer) {
                    button->click();
                    return;
                }
        static_cast<QDialog*>(dialog)->reject();
    });
}
} // namespace

class TestTranslation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(vigilux::platform::QtTranslation::installRussian()); }

    void questionBoxesAnswerInRussian() {
        QtDialogs dialogs;
        QStringList texts;
        readNextDialog(&texts, QDialogButtonBox::NoRole);
        const auto answer = dialogs.message(Dialogs::Icon::Question, QStringLiteral("Внимание!"),
                                            QStringLiteral("Продолжить?"), Dialogs::Buttons::YesNo);
        QCOMPARE(answer, Dialogs::Answer::No);
        QCOMPARE(texts, (QStringList{QStringLiteral("Да"), QStringLiteral("Нет")}));

        readNextDialog(&texts, QDialogButtonBox::AcceptRole);
        dialogs.message(Dialogs::Icon::Information, QStringLiteral("Внимание!"),
                        QStringLiteral("Готово"), Dialogs::Buttons::OkCancel);
        QVERIFY2(texts.contains(QStringLiteral("Отмена")), qPrintable(texts.join(u',')));
    }

    void theFolderPickerSpeaksRussian() {
        QtDialogs dialogs;
        QStringList texts;
        readNextDialog(&texts, QDialogButtonBox::RejectRole);
        QVERIFY(dialogs.browseFolder(QStringLiteral("Выберите каталог")).isEmpty());
        QVERIFY2(texts.contains(QStringLiteral("Отмена")), qPrintable(texts.join(u',')));
        QVERIFY2(!texts.contains(QStringLiteral("Cancel")), qPrintable(texts.join(u',')));
    }

    // A notice returns at once, with no modal box and no loop of its own; a
    // second notice while the first is open updates that box instead of
    // stacking another.
    void noticesDoNotWaitAndDoNotPileUp() {
        QtDialogs dialogs;
        dialogs.notify(Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                       QStringLiteral("Не удалось записать снимок\r\n/a.jpg"));
        QMessageBox* box = dialogs.openNotice();
        QVERIFY(box != nullptr);
        QVERIFY(box->isVisible());
        QVERIFY(!box->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(box->text(), QStringLiteral("Не удалось записать снимок\n/a.jpg"));
        QCOMPARE(box->icon(), QMessageBox::Critical);

        dialogs.notify(Dialogs::Icon::Warning, QStringLiteral("Ошибка"), QStringLiteral("/b.jpg"));
        QCOMPARE(dialogs.openNotice(), box);
        QCOMPARE(box->text(), QStringLiteral("/b.jpg"));
        const QWidgetList windows = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(windows.cbegin(), windows.cend(),
                               [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; }),
                 1);

        // Closed, it goes; the next notice opens a new box.
        box->close();
        QTRY_VERIFY(dialogs.openNotice() == nullptr);
        dialogs.notify(Dialogs::Icon::Error, QStringLiteral("Ошибка"), QStringLiteral("/c.jpg"));
        QVERIFY(dialogs.openNotice() != nullptr);
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
