#include "recording/FrameSaver.h"

#include "core/TimeText.h"
#include "events/EventLog.h"

#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

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
    , m_context(context) {}

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

void FrameSaver::imprint(QImage& picture, const QString& text) {
    QPainter painter(&picture);
    QFont font = painter.font();
    // Legible on large frames too.
    font.setPixelSize(std::max(12, picture.height() / 40));
    painter.setFont(font);
    const QRect area = picture.rect();
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    painter.setPen(Qt::black);
    painter.drawText(area.translated(2, 2), flags, text);
    painter.setPen(Qt::white);
    painter.drawText(area.translated(3, 1), flags, text);
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

void FrameSaver::rotate(int n, const QString& keep) {
    const QString kept = m_saveFolder + keep;
    const bool wasHeld = m_rotation.isHeld(kept);
    m_rotation.hold(kept);
    m_rotation.rotate(m_saveFolder, n, [this](const QString& text) { emit status(text); });
    if (!wasHeld)
        m_rotation.release(kept);
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

core::Status FrameSaver::writePicture(const QImage& picture, const QString& path,
                                      const char* format) {
    const bool jpeg = qstrcmp(format, "jpg") == 0;
    // Encoded in memory first, so the file sees plain checked writes and an
    // encoder failure is told apart from a disk that refuses the bytes.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (jpeg)
        writer.setQuality(std::clamp<int>(m_context.settings.jpegQuality, 0, 100));
    QString failure;
    if (!writer.write(picture)) {
        if (jpeg)
            return core::Status::failure(QStringLiteral("5 - Cannot save the image. GDI+ Error:") +
                                         QString::number(static_cast<int>(writer.error())));
        failure = writer.errorString();
    } else {
        const core::Status written = m_file->write(path, bytes);
        if (written)
            return written;
        failure = written.error();
    }
    return core::Status::failure(QStringLiteral("Не удалось записать снимок") + CrLf +
                                 QDir::toNativeSeparators(path) + CrLf + CrLf + failure);
}

core::Result<QString> FrameSaver::store(const QImage& picture, const QString& base) {
    const QString bmpPath = base + QStringLiteral(".bmp");
    if (!m_context.settings.saveAsJpeg) {
        const core::Status bmp = writePicture(picture, bmpPath, "bmp");
        if (bmp)
            return bmpPath;
        error(bmp.error());
        return core::Result<QString>::failure(bmp.error());
    }
    const QString jpgPath = base + QStringLiteral(".jpg");
    const core::Status jpg = writePicture(picture, jpgPath, "jpg");
    if (jpg) {
        QFile::remove(bmpPath); // a stale picture of the same name must not survive
        return jpgPath;
    }
    // The box says why the JPEG failed; the frame is still kept as BMP when
    // that can be written (one box either way).
    error(jpg.error());
    const core::Status bmp = writePicture(picture, bmpPath, "bmp");
    if (bmp)
        return bmpPath;
    return core::Result<QString>::failure(bmp.error());
}

void FrameSaver::report(const QString& path) {
    if (QFileInfo::exists(path))
        emit frameSaved(path);
}

void FrameSaver::error(const QString& text) {
    // Not modal: saving runs inside a detector step, and a modal loop there
    // would hold up the frames until the box is closed.
    m_context.dialogs.notify(Icon::Error, QStringLiteral("Ошибка"), text);
}

void FrameSaver::saveFrame(const QImage& picture, const QDateTime& takenAt) {
    save(picture, takenAt);
}

// An invalid time means the clock's now.
void FrameSaver::save(QImage picture, const QDateTime& takenAt) {
    const core::Settings& s = m_context.settings;
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

    // How many old files make room for the new one; they go only once it is
    // in place. A limit below 1 (edited by hand) would empty the folder at
    // every save.
    const int limit = std::max<int>(1, s.maxFileCount);
    int surplus = 0;
    if (s.limitFiles || s.singleFile) {
        m_fileCount = countFiles(folder);
        if (s.limitFiles && m_fileCount >= limit)
            surplus = m_fileCount - limit + 1;
    }

    // A save that fails does not use up its number.
    const int sequenceBefore = m_sequence;
    bool clearFolder = false;
    if (!s.singleFile) {
        m_fileName = timeStampedName(now);
    } else if (s.maxFileCount == 1) {
        clearFolder = true; // the one fixed file replaces the folder's content
        m_fileName = plainName(s.singleFileName);
    } else {
        m_fileName = numberedName(clearFolder);
    }
    const int toDelete = clearFolder ? std::max(surplus, m_fileCount) : surplus;
    const QString base = folder + m_fileName;

    if (picture.isNull()) {
        m_sequence = sequenceBefore;
        m_context.dialogs.notify(Icon::None, QStringLiteral("Vigilux"),
                                 QStringLiteral("Unable to load bitmap! Check filename"));
        return;
    }
    // 24-bit pictures: what BMP viewers expect and the fastest JPEG input.
    if (picture.format() != QImage::Format_RGB888)
        picture = picture.convertToFormat(QImage::Format_RGB888);

    if (s.imprintDate) {
        if (s.soundOnSave && (!m_context.watching || !s.soundOnAlarm))
            emit soundRequested(s.saveSoundPath);
        emit imageFormatChanged(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()));
        imprint(picture, imprintText(now));
    }

    const core::Result<QString> saved = store(picture, base);
    if (!saved) {
        m_sequence = sequenceBefore;
        return;
    }
    rotate(toDelete, QFileInfo(saved.value()).fileName());
    emit savingFinished();
    report(saved.value());
}

} // namespace vigilux::recording
