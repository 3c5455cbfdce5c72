#include "core/SettingsStorage.h"
#include "ui/ProgramOptionsRules.h"
#include "video/ResolutionProbe.h"

#include "FakeCaptureCommands.h"

#include <QTest>

using vigilux::core::SettingsStorage;
using vigilux::test::FakeCaptureCommands;
using vigilux::ui::ProgramOptionsRules;
using vigilux::video::ResolutionMode;
using vigilux::video::ResolutionProbe;

Q_DECLARE_METATYPE(QList<ResolutionMode>)

class TestResolutionProbe : public QObject {
    Q_OBJECT

private slots:
    void maxFilesStep_data();
    void maxFilesStep();
    void probeDefaultList_data();
    void probeDefaultList();
    void probeSkipsBrokenPairs_data();
    void probeSkipsBrokenPairs();
    void storedListRoundTrip();
    void texts();
};

void TestResolutionProbe::maxFilesStep_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("step");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("10") << 10 << 1;
    QTest::newRow("11") << 11 << 10;
    QTest::newRow("100") << 100 << 10;
    QTest::newRow("101") << 101 << 100;
    QTest::newRow("1000") << 1000 << 100;
    QTest::newRow("1001") << 1001 << 500;
    QTest::newRow("10000") << 10000 << 500;
}

void TestResolutionProbe::maxFilesStep() {
    QFETCH(int, value);
    QFETCH(int, step);
    QCOMPARE(ProgramOptionsRules::maxFilesStep(value), step);
}

void TestResolutionProbe::probeDefaultList_data() {
    QTest::addColumn<QStringList>("accepts");
    QTest::addColumn<QList<ResolutionMode>>("found");
    QTest::newRow("none") << QStringList() << QList<ResolutionMode>();
    QTest::newRow("only 1280x720") << QStringList{"1280x720"} << QList<ResolutionMode>{{1280, 720}};
    // The candidate list holds 1280x960 twice; both answers count.
    QTest::newRow("duplicate kept") << QStringList{"1280x960", "800x600"}
                                    << QList<ResolutionMode>{{800, 600}, {1280, 960}, {1280, 960}};
    QTest::newRow("largest") << QStringList{"5160x3870", "752x416"}
                             << QList<ResolutionMode>{{752, 416}, {5160, 3870}};
    QTest::newRow("size not in list") << QStringList{"640x480"} << QList<ResolutionMode>();
}

void TestResolutionProbe::probeDefaultList() {
    QFETCH(QStringList, accepts);
    QFETCH(QList<ResolutionMode>, found);
    FakeCaptureCommands device;
    device.accepted = QSet<QString>(accepts.cbegin(), accepts.cend());
    QStringList progress;
    const QList<ResolutionMode> result =
        ResolutionProbe::probe(SettingsStorage::DefaultResolutions, device,
                               [&](const QString& text) { progress << text; });
    QCOMPARE(result, found);

    // Every pair is tried once, in list order, only as a question.
    QCOMPARE(device.resCalls.size(), 19);
    QCOMPARE(progress.size(), 19);
    for (const auto& call : device.resCalls)
        QVERIFY(call.detect);
    QCOMPARE(device.resCalls.first(), (FakeCaptureCommands::ResCall{752, 416, true}));
    QCOMPARE(device.resCalls.last(), (FakeCaptureCommands::ResCall{5160, 3870, true}));
    QCOMPARE(progress.first(), QStringLiteral("Разрешение 0 из 18 (ширина 752px, высота 416px)"));
    QCOMPARE(progress[9], QStringLiteral("Разрешение 9 из 18 (ширина 1280px, высота 720px)"));
    QCOMPARE(progress.last(), QStringLiteral("Разрешение 18 из 18 (ширина 5160px, высота 3870px)"));
}

void TestResolutionProbe::probeSkipsBrokenPairs_data() {
    QTest::addColumn<QString>("candidates");
    QTest::addColumn<QList<FakeCaptureCommands::ResCall>>("calls");
    QTest::addColumn<QStringList>("progress");
    using Call = FakeCaptureCommands::ResCall;
    QTest::newRow("empty") << QString() << QList<Call>{} << QStringList{};
    QTest::newRow("single number") << "1280" << QList<Call>{} << QStringList{};
    QTest::newRow("odd count") << "800,600,1280" << QList<Call>{{800, 600, true}}
                               << QStringList{"Разрешение 0 из 1 (ширина 800px, высота 600px)"};
    QTest::newRow("above 16 bits") << "40000,3000,800,600" << QList<Call>{{800, 600, true}}
                                   << QStringList{"Разрешение 1 из 1 (ширина 800px, высота 600px)"};
    QTest::newRow("not a number") << "abc,600,1024,768,1280,x" << QList<Call>{{1024, 768, true}}
                                  << QStringList{"Разрешение 1 из 2 (ширина 1024px, высота 768px)"};
    QTest::newRow("edge of 16 bits")
        << "32767,32768,32767,-32768" << QList<Call>{{32767, -32768, true}}
        << QStringList{"Разрешение 1 из 1 (ширина 32767px, высота -32768px)"};
}

void TestResolutionProbe::probeSkipsBrokenPairs() {
    QFETCH(QString, candidates);
    QFETCH(QList<FakeCaptureCommands::ResCall>, calls);
    QFETCH(QStringList, progress);
    FakeCaptureCommands device;
    QStringList shown;
    ResolutionProbe::probe(candidates, device, [&](const QString& text) { shown << text; });
    QCOMPARE(device.resCalls, calls);
    QCOMPARE(shown, progress);
}

void TestResolutionProbe::storedListRoundTrip() {
    const QList<ResolutionMode> modes{{1280, 720}, {1280, 960}, {1280, 960}, {5160, 3870}};
    const QString text = ResolutionProbe::modesText(modes);
    QCOMPARE(text, QStringLiteral("1280,720,1280,960,1280,960,5160,3870"));
    QCOMPARE(ResolutionProbe::parseModes(text), modes);
    QCOMPARE(ResolutionProbe::modesText({}), QString());
    QVERIFY(ResolutionProbe::parseModes(QStringLiteral("1280")).isEmpty());
    QVERIFY(ResolutionProbe::parseModes(QString()).isEmpty());
    QCOMPARE(ResolutionProbe::parseModes(QStringLiteral("1280,720,")),
             (QList<ResolutionMode>{{1280, 720}}));
    QCOMPARE(ResolutionProbe::parseModes(SettingsStorage::DefaultResolutions).size(), 19);
}

void TestResolutionProbe::texts() {
    QCOMPARE(ResolutionProbe::listItem({1280, 720}), QStringLiteral("1280 x 720"));
    QCOMPARE(ResolutionProbe::resultText(0),
             QStringLiteral("Поддерживаемых HD-режимов не найдено."));
    QCOMPARE(ResolutionProbe::resultText(1),
             QStringLiteral("Найдено 0 поддерживаемых HD-режимов."));
    QCOMPARE(ResolutionProbe::resultText(19),
             QStringLiteral("Найдено 18 поддерживаемых HD-режимов."));
}

QTEST_GUILESS_MAIN(TestResolutionProbe)
#include "tst_resolution_probe.moc"
