#include "capture/FrameSaver.h"

#include "capture/EventLog.h"
#include "capture/SpeedMeter.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "settings/AppContext.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vigilux::capture {

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

FrameSaver::FrameSaver(AppContext& context, FrameSaverHost& host, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_host(host) {}

QString FrameSaver::timeStampedName(const QDateTime& now) {
    QString time = SpeedMeter::timeText(now);
    time.replace(QLatin1Char(':'), QLatin1Char('-'));
    time.replace(QLatin1Char('.'), QLatin1Char('-'));
    return now.toString(QStringLiteral("yyyy_MM_dd_(")) + time + QLatin1Char(')');
}

QString FrameSaver::imprintText(const QDateTime& now) {
    return now.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') +
           SpeedMeter::timeText(now);
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
    files.removeOne(EventLog::FileName);
    return files;
}

int FrameSaver::countFiles(const QString& folder) {
    // Counting needs no order: skip the sort a listing would do.
    int n = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileName() == EventLog::FileName)
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

void FrameSaver::rotate(int n) {
    m_rotation.rotate(m_saveFolder, n, [this](const QString& text) { m_host.showStatus(text); });
}

QString FrameSaver::numberedName() {
    const QString prefix = plainName(m_context.settings.singleFileName);
    if (m_sequence != 0) {
        m_sequence = m_sequence >= MaxSequence ? 1 : m_sequence + 1;
    } else {
        const QStringList files = listFiles(m_saveFolder);
        const int next = nextNumberFrom(files.isEmpty() ? QString() : files.last());
        if (next == 0) {
            // The folder holds nothing to continue from: start afresh.
            rotate(m_fileCount);
            m_sequence = 1;
        } else {
            m_sequence = next;
        }
    }
    return prefix + QStringLiteral("%1").arg(m_sequence, 5, 10, QLatin1Char('0'));
}

bool FrameSaver::writeJpeg(const QImage& picture, const QString& path) {
    QImageWriter writer(path, "jpg");
    writer.setQuality(std::clamp<int>(m_context.settings.jpegQuality, 0, 100));
    if (writer.write(picture))
        return true;
    QFile::remove(path); // no half-written file is left to be taken for a picture
    error(QStringLiteral("5 - Cannot save the image. GDI+ Error:") +
          QString::number(static_cast<int>(writer.error())));
    return false;
}

bool FrameSaver::writeBmp(const QImage& picture, const QString& path) {
    QImageWriter writer(path, "bmp");
    if (writer.write(picture))
        return true;
    QFile::remove(path);
    error(QStringLiteral("Не удалось записать снимок") + CrLf + QDir::toNativeSeparators(path) +
          CrLf + CrLf + writer.errorString());
    return false;
}

void FrameSaver::report(const QString& path) {
    if (QFileInfo::exists(path))
        emit frameSaved(path);
}

void FrameSaver::error(const QString& text) {
    m_context.dialogs.message(Icon::Error, QStringLiteral("Ошибка"), text);
}

void FrameSaver::saveFrame() {
    save(QImage(), QDateTime());
}

void FrameSaver::saveFrame(const QImage& picture, const QDateTime& takenAt) {
    save(picture, takenAt);
}

// A null picture means the current frame, an invalid time the clock's now.
void FrameSaver::save(QImage picture, const QDateTime& takenAt) {
    const settings::Settings& s = m_context.settings;
    m_host.showSavingIndicator();

    QString folder = s.savePath;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // An empty setting would mean the file system's root: treat it as missing.
    if (s.savePath.isEmpty() || !QFileInfo(folder).isDir()) {
        error(QStringLiteral("Каталог для сохранения недоступен!") + CrLf + CrLf +
              QStringLiteral("Проверьте наличие пути ") + QDir::toNativeSeparators(folder) + CrLf +
              CrLf + QStringLiteral("настройки > файлы > папка для сохранения снимков"));
        if (m_context.watching)
            m_host.toggleWatching();
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

    // A limit below 1 (edited by hand) would empty the folder at every save.
    const int limit = std::max<int>(1, s.maxFileCount);
    if (s.limitFiles || s.singleFile) {
        m_fileCount = countFiles(folder);
        if (s.limitFiles && m_fileCount >= limit)
            rotate(m_fileCount - limit + 1);
    }

    if (!s.singleFile) {
        m_fileName = timeStampedName(now);
    } else if (s.maxFileCount == 1) {
        rotate(m_fileCount);
        m_fileName = plainName(s.singleFileName);
    } else {
        m_fileName = numberedName();
    }
    const QString base = folder + m_fileName;

    if (picture.isNull())
        picture = m_host.currentFrame();
    if (picture.isNull()) {
        m_context.dialogs.message(Icon::None, QStringLiteral("Vigilux"),
                                  QStringLiteral("Unable to load bitmap! Check filename"));
        return;
    }
    // 24-bit pictures: what BMP viewers expect and the fastest JPEG input.
    if (picture.format() != QImage::Format_RGB888)
        picture = picture.convertToFormat(QImage::Format_RGB888);

    const QString bmpPath = base + QStringLiteral(".bmp");
    const QString jpgPath = base + QStringLiteral(".jpg");

    if (!s.saveAsJpeg && !s.imprintDate) {
        if (writeBmp(picture, bmpPath)) {
            m_host.startIndicatorHideTimer();
            report(bmpPath);
        }
        return;
    }
    QFile::remove(bmpPath); // a stale picture of the same name must not survive

    if (s.saveAsJpeg && !s.imprintDate) {
        // A JPEG that cannot be written leaves the frame as BMP, not lost.
        const bool jpeg = writeJpeg(picture, jpgPath);
        if (jpeg || writeBmp(picture, bmpPath)) {
            m_host.startIndicatorHideTimer();
            report(jpeg ? jpgPath : bmpPath);
        }
        return;
    }

    if (s.soundOnSave && (!m_context.watching || !s.soundOnAlarm))
        m_host.playSound(s.saveSoundPath);

    emit imageFormatChanged(QStringLiteral("%1x%2").arg(picture.width()).arg(picture.height()));
    imprint(picture, imprintText(now));

    if (s.saveAsJpeg) {
        if (writeJpeg(picture, jpgPath)) {
            report(jpgPath);
            m_host.startIndicatorHideTimer();
            return;
        }
    }
    if (writeBmp(picture, bmpPath)) {
        report(bmpPath);
        m_host.startIndicatorHideTimer();
    }
}

} // namespace vigilux::capture
