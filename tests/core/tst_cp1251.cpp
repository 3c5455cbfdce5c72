#include "core/Cp1251.h"

#include <QTest>

using vigilux::core::Cp1251;

class TestCp1251 : public QObject {
    Q_OBJECT
private slots:
    void everyByteRoundTrips() {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString text = Cp1251::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1251::encode(text), all);
    }

    void knownCodes_data() {
        QTest::addColumn<QString>("character");
        QTest::addColumn<int>("code");
        QTest::newRow("A") << QStringLiteral("A") << 0x41;
        QTest::newRow("А") << QStringLiteral("А") << 0xC0;
        QTest::newRow("Я") << QStringLiteral("Я") << 0xDF;
        QTest::newRow("а") << QStringLiteral("а") << 0xE0;
        QTest::newRow("я") << QStringLiteral("я") << 0xFF;
        QTest::newRow("Ё") << QStringLiteral("Ё") << 0xA8;
        QTest::newRow("ё") << QStringLiteral("ё") << 0xB8;
        QTest::newRow("№") << QStringLiteral("№") << 0xB9;
        QTest::newRow("€") << QStringLiteral("€") << 0x88;
        QTest::newRow("—") << QStringLiteral("—") << 0x97;
        QTest::newRow("no code") << QStringLiteral("✓") << -1;
    }
    void knownCodes() {
        QFETCH(QString, character);
        QFETCH(int, code);
        QCOMPARE(Cp1251::code(character.at(0).unicode()), code);
    }

    void charactersWithoutCodeBecomeOneQuestionMark() {
        QCOMPARE(Cp1251::encode(QStringLiteral("a✓\U0001F600б")), QByteArray("a??\xE1"));
    }
};

QTEST_GUILESS_MAIN(TestCp1251)
#include "tst_cp1251.moc"
