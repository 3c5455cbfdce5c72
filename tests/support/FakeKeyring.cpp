#include "FakeKeyring.h"

#include <QTimer>

namespace vigilux::test {

void FakeKeyring::read(const QString& key, ReadDone done) {
    QTimer::singleShot(
        0, [this, key, done] { done(working, working ? values.value(key) : QString()); });
}

void FakeKeyring::write(const QString& key, const QString& value, WriteDone done) {
    QTimer::singleShot(0, [this, key, value, done] {
        if (working)
            values.insert(key, value);
        done(working);
    });
}

} // namespace vigilux::test
