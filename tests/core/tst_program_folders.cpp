#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"
#include "core/DetectorValuesTarget.h"
#include "core/ProgramFolders.h"
#include "core/SettingsStorage.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace vigilux;
using vigilux::core::ProgramFolders;

namespace {
class NoTarget final : public core::DetectorValuesTarget {
public:
    void setDetectorValue(core::DetectorValue, qint32) override {}
};
} // namespace

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

    void anInstalledCopyDefaultsToItsSharedSoundsAndTheUsersFolders() {
        QStandardPaths::setTestModeEnabled(true);
        QTemporaryDir root;
        test::FakeClock clock;
        test::FakeDialogs dialogs; // the first start's folder question is cancelled
        NoTarget target;
        AppContext context(clock, dialogs, root.filePath(QStringLiteral("bin")));
        context.dataFolder = root.filePath(QStringLiteral("share/vigilux"));
        context.settingsFolder = root.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(context.settingsFolder));
        context.ini.setFileName(context.settingsFolder + QStringLiteral("/options.ini"));
        core::SettingsStorage(context, target).setDefaults();

        const core::Settings& s = context.settings;
        QCOMPARE(s.saveSoundPath, root.filePath(QStringLiteral("share/vigilux/sound/save.wav")));
        QCOMPARE(s.alarmSoundPath, root.filePath(QStringLiteral("share/vigilux/sound/alarm.wav")));
        // Pictures go where the user keeps them, not below the program.
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        QCOMPARE(s.savePath, pictures + QStringLiteral("/Vigilux/"));
        QVERIFY(QFileInfo(s.savePath).isDir());
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("bin"))));
        QDir(pictures + QStringLiteral("/Vigilux")).removeRecursively();
    }
};

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
