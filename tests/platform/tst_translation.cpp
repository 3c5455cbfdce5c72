#include "platform/QtDialogs.h"
#include "platform/QtTranslation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

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
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
