#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"

#include <QTemporaryDir>
#include <QTest>

using vigilux::platform::InstanceLock;
using vigilux::platform::QtDialogs;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void secondLockOnSamePathIsRefusedUntilReleased() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.lock"));
        auto first = std::make_unique<InstanceLock>(path);
        QVERIFY(first->tryAcquire());
        InstanceLock second(path);
        QVERIFY(!second.tryAcquire());
        first.reset();
        QVERIFY(second.tryAcquire());
    }

    void lockPathDependsOnExecutable() {
        const QString a = InstanceLock::defaultPath(QStringLiteral("/opt/a/vigilux"));
        QCOMPARE(a, InstanceLock::defaultPath(QStringLiteral("/opt/a/../a/vigilux")));
        QVERIFY(a != InstanceLock::defaultPath(QStringLiteral("/opt/b/vigilux")));
    }

    void filterPairsBecomeQtFilters() {
        QCOMPARE(QtDialogs::toQtFilter(QStringLiteral("Звуки (*.wav)|*.wav|Все файлы|*.*")),
                 QStringLiteral("Звуки (*.wav) (*.wav);;Все файлы (*.*)"));
        QCOMPARE(QtDialogs::toQtFilter(QStringLiteral("Программы|*.exe;*.sh")),
                 QStringLiteral("Программы (*.exe *.sh)"));
        QCOMPARE(QtDialogs::toQtFilter(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
