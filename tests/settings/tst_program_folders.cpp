#include "settings/ProgramFolders.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using vigilux::settings::ProgramFolders;

class TestProgramFolders : public QObject {
    Q_OBJECT
    const QString m_shared = QStringLiteral("../share/vigilux");

private slots:
    void soundsAreFoundBesideOrInstalled_data() {
        QTest::addColumn<QStringList>("folders"); // made below the temporary root
        QTest::addColumn<QString>("data");        // expected, relative to the root
        QTest::addColumn<bool>("installed");
        QTest::newRow("build folder")
            << QStringList{QStringLiteral("bin/sound")} << QStringLiteral("bin") << false;
        QTest::newRow("installed")
            << QStringList{QStringLiteral("bin"), QStringLiteral("share/vigilux/sound")}
            << QStringLiteral("share/vigilux") << true;
        // Sounds beside the program win over an installed copy's.
        QTest::newRow("unpacked beside an installed copy")
            << QStringList{QStringLiteral("bin/sound"), QStringLiteral("share/vigilux/sound")}
            << QStringLiteral("bin") << false;
        QTest::newRow("no sounds anywhere")
            << QStringList{QStringLiteral("bin"), QStringLiteral("share/vigilux")}
            << QStringLiteral("bin") << false;
    }
    void soundsAreFoundBesideOrInstalled() {
        QFETCH(QStringList, folders);
        QFETCH(QString, data);
        QFETCH(bool, installed);
        QTemporaryDir root;
        for (const QString& folder : folders)
            QVERIFY(QDir(root.path()).mkpath(folder));
        const auto found = ProgramFolders::locate(root.filePath(QStringLiteral("bin")), m_shared);
        QCOMPARE(found.program, root.filePath(QStringLiteral("bin")));
        QCOMPARE(found.data, root.filePath(data));
        QCOMPARE(found.installed, installed);
    }
};

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
