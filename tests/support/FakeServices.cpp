#include "FakeServices.h"

namespace vigilux::test {

void FakeTrayBackend::add(const QIcon& i, const QString& t)
{
    calls << QStringLiteral("add");
    icon = i;
    tip = t;
}

void FakeTrayBackend::modify(const QIcon& i, const QString& t)
{
    calls << QStringLiteral("modify");
    icon = i;
    tip = t;
}

void FakeTrayBackend::remove() { calls << QStringLiteral("remove"); }

void FakeTrayBackend::balloon(const QString& title, const QString& text, int infoFlags)
{
    calls << QStringLiteral("balloon");
    balloons.append({title, text, infoFlags});
}

void FakeTrayBackend::popupMenu(QObject* m, QObject* d, std::optional<QPoint>)
{
    calls << QStringLiteral("menu");
    menu = m;
    defaultItem = d;
}

int FakeProcesses::runAndWait(const QString& commandLine, int)
{
    waited << commandLine;
    if (whileWaiting)
        whileWaiting();
    return exitCode;
}

bool FakeProcesses::start(const QString& commandLine)
{
    started << commandLine;
    return true;
}

} // namespace vigilux::test
