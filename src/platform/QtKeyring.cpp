#include "platform/QtKeyring.h"

#include <qt6keychain/keychain.h>

#include <QTimer>

#include <memory>

namespace vigilux::platform {

namespace {

const QString Service = QStringLiteral("Vigilux");

// Runs `job` and calls `answer` once: with the job's outcome, or as failed
// when the bound passes first (the job is left to finish and delete itself).
void runBounded(QObject* context, QKeychain::Job* job,
                std::function<void(QKeychain::Job*, bool timedOut)> answer) {
    auto answered = std::make_shared<bool>(false);
    auto* bound = new QTimer(context);
    bound->setSingleShot(true);
    QObject::connect(bound, &QTimer::timeout, context, [answered, answer, bound] {
        bound->deleteLater();
        if (std::exchange(*answered, true))
            return;
        answer(nullptr, true);
    });
    QObject::connect(job, &QKeychain::Job::finished, context,
                     [answered, answer, bound](QKeychain::Job* finished) {
                         bound->stop();
                         bound->deleteLater();
                         if (std::exchange(*answered, true))
                             return;
                         answer(finished, false);
                     });
    job->setAutoDelete(true);
    bound->start(QtKeyring::TimeoutMs);
    job->start();
}

} // namespace

QtKeyring::QtKeyring(QObject* parent)
    : QObject(parent) {}

QtKeyring::~QtKeyring() = default;

void QtKeyring::read(const QString& key, ReadDone done) {
    auto* job = new QKeychain::ReadPasswordJob(Service);
    job->setKey(key);
    runBounded(this, job, [done](QKeychain::Job* finished, bool timedOut) {
        if (!timedOut && finished->error() == QKeychain::EntryNotFound) {
            done(true, {}); // never stored: no secret
            return;
        }
        if (timedOut || finished->error() != QKeychain::NoError) {
            done(false, {});
            return;
        }
        done(true, static_cast<QKeychain::ReadPasswordJob*>(finished)->textData());
    });
}

void QtKeyring::write(const QString& key, const QString& value, WriteDone done) {
    auto* job = new QKeychain::WritePasswordJob(Service);
    job->setKey(key);
    job->setTextData(value);
    runBounded(this, job, [done](QKeychain::Job* finished, bool timedOut) {
        done(!timedOut && finished->error() == QKeychain::NoError);
    });
}

} // namespace vigilux::platform
