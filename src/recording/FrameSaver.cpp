#include "recording/FrameSaver.h"

#include "core/TimeText.h"
#include "events/EventLog.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace vigilux::recording {

namespace {

const QString CrLf = QStringLiteral("\r\n");

using Icon = platform::Dialogs::Icon;

// The fixed name may come from a hand-edited file: keep it a plain name so a
// save never lands outside the save folder.
QString plainName(const QString& name) {
    QString plain = name;
    plain.replace(QLatin1Char('/'), QLatin1Char('_'));
    plain.replace(QLatin1Char('\\'), QLatin1Char('_'));
    if (plain.isEmpty() || plain == QLatin1String(".") || plain == QLatin1String(".."))
        plain = QStringLiteral("frame");
    return plain;
}

// The numeric value at the start of `text` the way a BASIC Val() reads it:
// blanks skipped, an optional sign, digits, an optional fraction; anything
// else ends the number.
double leadingValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
        ++i;
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128)
            ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace

FrameSaver::FrameSaver(AppContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
    // Called on the worker: only a wake-up is posted to this object's thread.
    , m_writer([this] {
        QMetaObject::invokeMethod(
            this, [this] { deliverFinished(); }, Qt::QueuedConnection);
    }) {}

FrameSaver::~FrameSaver() = default; // the writer waits for its queue

QString FrameSaver::timeStampedName(const QDateTime& now) {
    QString time = timeTextWithHundredths(now);
    time.replace(QLatin1Char(':'), QLatin1Char('-'));
    time.replace(QLatin1Char('.'), QLatin1Char('-'));
    return now.toString(QStringLiteral("yyyy_MM_dd_(")) + time + QLatin1Char(')');
}

QString FrameSaver::imprintText(const QDateTime& now) {
    return now.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') +
           timeTextWithHundredths(now);
}

QStringList FrameSaver::listFiles(const QString& folder) {
    QStringList files =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name | QDir::IgnoreCase);
    // The event log is no picture: the file limit never deletes it, and
    // numbered names never continue from it.
    files.removeOne(events::EventLog::FileName);
    files.removeOne(events::EventLog::CameraFileName);
    return files;
}

int FrameSaver::countFiles(const QString& folder) {
    // Counting needs no order: skip the sort a listing would do.
    int n = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileName() == events::EventLog::FileName ||
            it.fileName() == events::EventLog::CameraFileName)
            continue;
        ++n;
    }
    return n;
}

int FrameSaver::nextNumberFrom(const QString& lastFile) {
    const auto firstDigit = std::find_if(lastFile.cbegin(), lastFile.cend(), [](QChar c) {
        return c.unicode() >= '0' && c.unicode() <= '9';
    });
    if (firstDigit == lastFile.cend())
        return 0;
    const QString prefix = lastFile.left(firstDigit - lastFile.cbegin());
    QString rest = lastFile;
    if (!prefix.isEmpty())
        rest.remove(prefix);
    // Rounded with halves to even, like the rest of the program's arithmetic.
    const double next = std::nearbyint(leadingValue(rest) + 1.0);
    if (next > MaxSequence)
        return 1;
    return next < 1.0 ? 0 : static_cast<int>(next);
}

QString FrameSaver::numberedName(bool& clearFolder) {
    const QString prefix = plainName(m_context.settings.singleFileName);
    if (m_sequence != 0) {
        m_sequence = m_sequence >= MaxSequence ? 1 : m_sequence + 1;
    } else {
        const QStringList files = listFiles(m_saveFolder);
        const int next = nextNumberFrom(files.isEmpty() ? QString() : files.last());
        if (next == 0) {
            // The folder holds nothing to continue from: start afresh.
            clearFolder = true;
            m_sequence = 1;
        } else {
            m_sequence = next;
        }
    }
    return prefix + QStringLiteral("%1").arg(m_sequence, 5, 10, QLatin1Char('0'));
}

void FrameSaver::hold(const QString& path) {
    if (m_holds[path]++ == 0)
        m_rotation.hold(path);
}

void FrameSaver::release(const QString& path) {
    const auto it = m_holds.find(path);
    if (it == m_holds.end() || --it.value() > 0)
        return;
    m_holds.erase(it);
    m_rotation.release(path);
}

void FrameSaver::error(const QString& text) {
    // Not modal: saving runs inside a detector step, and a modal loop there
    // would hold up the frames until the box is closed.
    m_context.dialogs.notify(Icon::Error, QStringLiteral("Ошибка"), text);
}

void FrameSaver::setSynchronous(bool on) {
    if (on)
        finishPending(PictureWriter::ShutdownWaitMs);
    m_synchronous = on;
}

bool FrameSaver::finishPending(int ms) {
    if (!m_pending.empty())
        m_writer.waitForAll(ms);
    deliverFinished();
    return m_pending.empty();
}

void FrameSaver::deliverFinished() {
    for (PictureOutcome& outcome : m_writer.takeFinished())
        m_finished.push_back(std::move(outcome));
    // One at a time from the front: a listener that reports again (or saves)
    // from inside a signal cannot get ahead of an older picture.
    while (!m_finished.empty() && !m_pending.empty()) {
        const PictureOutcome outcome = std::move(m_finished.front());
        m_finished.pop_front();
        const Pending pending = std::move(m_pending.front());
        m_pending.pop_front();
        finish(pending, outcome);
    }
}

void FrameSaver::finish(const Pending& pending, const PictureOutcome& outcome) {
    for (const QString& path : pending.held)
        release(path);
    for (const QString& text : outcome.errors)
        error(text);
    if (outcome.path.isEmpty()) {
        // A save that fails does not use up its number, unless a later one
        // has taken the next already.
        if (pending.sequence != 0 && m_sequence == pending.sequence)
            m_sequence = pending.sequenceBefore;
        return;
    }
    // Old files make room only now that the new one is in place; counted
    // now, so pictures written meanwhile are counted once.
    if (pending.limit || pending.clearFolder) {
        const int count = countFiles(pending.folder);
        m_fileCount = count - 1; // the others
        int n = pending.limit ? count - pending.limitCount : 0;
        if (pending.clearFolder)
            n = std::max(n, count - 1);
        const QString kept = outcome.path;
        const bool wasHeld = m_rotation.isHeld(kept);
        m_rotation.hold(kept);
        m_rotation.rotate(pending.folder, n, [this](const QString& text) { emit status(text); });
        if (!wasHeld)
            m_rotation.release(kept);
    }
    emit savingFinished();
    if (QFileInfo::exists(outcome.path))
        emit frameSaved(outcome.path);
}

// An invalid time means the clock's now.
void FrameSaver::saveFrame(QImage picture, const QDateTime& takenAt) {
    const core::Settings& s = m_context.settings;
    if (!m_synchronous && m_writer.pending() >= PictureWriter::Capacity) {
        // Older pictures are still being written: the disk does not keep up,
        // and waiting here would stall the picture and the detector.
        deliverFinished();
        if (m_writer.pending() >= PictureWriter::Capacity) {
            emit status(QStringLiteral(" Снимок пропущен: диск не успевает записывать"));
            return;
        }
    }
    emit savingStarted();

    QString folder = s.savePath;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // An empty setting would mean the file system's root: treat it as missing.
    if (s.savePath.isEmpty() || !QFileInfo(folder).isDir()) {
        error(QStringLiteral("Каталог для сохранения недоступен!") + CrLf + CrLf +
              QStringLiteral("Проверьте наличие пути ") + QDir::toNativeSeparators(folder) + CrLf +
              CrLf + QStringLiteral("настройки > файлы > папка для сохранения снимков"));
        if (m_context.watching)
            emit watchingMustStop();
        return;
    }

    const QDateTime now = takenAt.isValid() ? takenAt : m_context.clock.now();
    if (s.createSubfolders) {
        folder += now.toString(QStringLiteral("yyyy.MM.dd")) + QLatin1Char('/');
        if (!QDir().mkpath(folder)) {
            error(QStringLiteral("Не удалось создать папку ") + QDir::toNativeSeparators(folder));
            return;
        }
    }
    m_saveFolder = folder;

    if (picture.isNull()) {
        m_context.dialogs.notify(Icon::None, QStringLiteral("Vigilux"),
                                 QStringLiteral("Unable to load bitmap! Check filename"));
        return;
    }

    Pending pending;
    pending.folder = folder;
    // A limit below 1 (edited by hand) would empty the folder at every save.
    pending.limit = s.limitFiles;
    pending.limitCount = std::max<int>(1, s.maxFileCount);
    pending.sequenceBefore = m_sequence;
    if (!s.singleFile) {
        m_fileName = timeStampedName(now);
    } else if (s.maxFileCount == 1) {
        pending.clearFolder = true; // the one fixed file replaces the folder's content
        m_fileName = plainName(s.singleFileName);
    } else {
        m_fileName = numberedName(pending.clearFolder);
        pending.sequence = m_sequence;
    }

    PictureJob job;
    job.base = folder + m_fileName;
    job.jpeg = s.saveAsJpeg;
    job.quality = s.jpegQuality;
    job.file = m_file;
    if (s.imprintDate) {
        if (s.soundOnSave && (!m_context.watching || !s.soundOnAlarm))
            emit soundRequested(s.saveSoundPath);
        emit imageFormatChanged(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()));
        job.imprint = imprintText(now);
    }
    job.picture = std::move(picture);
    pending.held << job.base + QStringLiteral(".jpg") << job.base + QStringLiteral(".bmp");

    if (m_synchronous) {
        m_pending.push_back(pending);
        m_finished.push_back(PictureWriter::write(std::move(job), m_inlineFile, m_inlineImprinter));
        deliverFinished();
        return;
    }
    for (const QString& path : pending.held)
        hold(path);
    m_pending.push_back(std::move(pending));
    m_writer.submit(std::move(job)); // room was checked above
}

} // namespace vigilux::recording
