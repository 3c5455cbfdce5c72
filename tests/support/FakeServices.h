#pragma once

#include "platform/Processes.h"
#include "platform/SoundOutput.h"
#include "platform/TrayBackend.h"
#include "platform/UrlOpener.h"

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QUrl>

namespace vigilux::test {

// A notification area that records what it is asked to show.
class FakeTrayBackend final : public platform::TrayBackend {
    Q_OBJECT
public:
    bool available = true;
    QStringList calls;
    QString tip;
    QIcon icon;
    QObject* menu = nullptr;
    QObject* defaultItem = nullptr;
    struct Balloon {
        QString title;
        QString text;
        int flags;
    };
    QList<Balloon> balloons;

    bool isAvailable() const override { return available; }
    void add(const QIcon& icon, const QString& tip) override;
    void modify(const QIcon& icon, const QString& tip) override;
    void remove() override;
    void balloon(const QString& title, const QString& text, int infoFlags) override;
    void popupMenu(QObject* menu, QObject* defaultItem, std::optional<QPoint> position) override;

    // The icon reports a message, as the desktop would.
    void send(int code) { emit message(code); }
};

// Records the sounds it is asked to play.
class FakeSoundOutput final : public platform::SoundOutput {
public:
    QList<QByteArray> played;
    int stops = 0;
    void stop() override { ++stops; }
    void play(const QByteArray& wav) override { played << wav; }
};

// Records the programs it is asked to run; runs nothing.
class FakeProcesses final : public platform::Processes {
public:
    QStringList waited;
    QStringList started;
    int exitCode = 0;
    // Called while a waited-for program "runs".
    std::function<void()> whileWaiting;
    int runAndWait(const QString& commandLine, int windowStyle) override;
    bool start(const QString& commandLine) override;
};

// Records the addresses it is asked to open.
class FakeUrlOpener final : public platform::UrlOpener {
public:
    QList<QUrl> opened;
    bool result = true;
    bool open(const QUrl& url) override
    {
        opened << url;
        return result;
    }
};

} // namespace vigilux::test
