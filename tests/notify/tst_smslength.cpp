#include "notify/SmsLength.h"

#include <QTest>

using vigilux::notify::SmsLength;

class TestSmsLength : public QObject {
    Q_OBJECT
private slots:
    void counts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("characters");
        QTest::addColumn<int>("messages");
        QTest::addColumn<bool>("russian");
        const QString ru = QStringLiteral("ж");
        const QString en = QStringLiteral("x");
        QTest::newRow("empty") << QString() << 0 << 1 << false;
        QTest::newRow("70 russian") << ru.repeated(70) << 70 << 1 << true;
        QTest::newRow("71 russian") << ru.repeated(71) << 71 << 2 << true;
        QTest::newRow("134 russian") << ru.repeated(134) << 134 << 2 << true;
        QTest::newRow("135 russian") << ru.repeated(135) << 135 << 3 << true;
        QTest::newRow("160 latin") << en.repeated(160) << 160 << 1 << false;
        QTest::newRow("161 latin") << en.repeated(161) << 161 << 2 << false;
        QTest::newRow("306 latin") << en.repeated(306) << 306 << 2 << false;
        QTest::newRow("307 latin") << en.repeated(307) << 307 << 3 << false;
        // One Cyrillic letter makes the whole text Russian.
        QTest::newRow("one russian letter")
            << en.repeated(100) + QStringLiteral("я") << 101 << 2 << true;
        QTest::newRow("А is first") << QStringLiteral("А") << 1 << 1 << true;
        // Ё, ё and other Windows-1251 signs are not in the letter range.
        QTest::newRow("Ё stays latin")
            << en.repeated(160) + QStringLiteral("Ё") << 161 << 2 << false;
        QTest::newRow("ё and №") << QStringLiteral("ё№«»") << 4 << 1 << false;
        QTest::newRow("no code at all") << QStringLiteral("€✓") << 2 << 1 << false;
        QTest::newRow("surrogate pair is one") << QStringLiteral("a\U0001F600b") << 3 << 1 << false;
    }
    void counts() {
        QFETCH(QString, text);
        QFETCH(int, characters);
        QFETCH(int, messages);
        QFETCH(bool, russian);
        const SmsLength::Result r = SmsLength::count(text);
        QCOMPARE(r.characters, characters);
        QCOMPARE(r.messages, messages);
        QCOMPARE(r.russian, russian);
    }

    void labelText() {
        QCOMPARE(SmsLength::label(QString()), QStringLiteral("0 символов (1смс)"));
        QCOMPARE(SmsLength::label(QStringLiteral("ж").repeated(135)),
                 QStringLiteral("135 символов (3смс)"));
    }
};

QTEST_GUILESS_MAIN(TestSmsLength)
#include "tst_smslength.moc"
