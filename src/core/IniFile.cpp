#include "core/IniFile.h"

#include "core/Cp1251.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <utility>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vigilux::core {

namespace {

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");
constexpr QByteArrayView Utf16LeBom("\xFF\xFE");
constexpr QByteArrayView Utf16BeBom("\xFE\xFF");

const QString CrLf = QStringLiteral("\r\n");

// How the file's bytes become text, kept so a write gives the same bytes
// back for every line it does not change.
enum class Encoding { Utf8, Cp1251, Utf16Le, Utf16Be };

struct Text {
    QByteArray bom; // as found
    Encoding encoding = Encoding::Utf8;
    QString text;
    QByteArray tail; // an odd last byte of a UTF-16 file
};

QString fromUtf16(QByteArrayView bytes, bool littleEndian) {
    QString out(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < out.size(); ++i) {
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (littleEndian ? 0 : 1)]);
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (littleEndian ? 1 : 0)]);
        out[i] = QChar(static_cast<char16_t>(lo | (hi << 8)));
    }
    return out;
}

QByteArray toUtf16(const QString& text, bool littleEndian) {
    QByteArray out(2 * text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        out[2 * i + (littleEndian ? 0 : 1)] = static_cast<char>(c & 0xFF);
        out[2 * i + (littleEndian ? 1 : 0)] = static_cast<char>(c >> 8);
    }
    return out;
}

Text decodeFile(QByteArrayView data) {
    Text t;
    if (data.startsWith(Utf16LeBom) || data.startsWith(Utf16BeBom)) {
        const bool le = data.startsWith(Utf16LeBom);
        t.bom = data.first(2).toByteArray();
        data = data.sliced(2);
        t.encoding = le ? Encoding::Utf16Le : Encoding::Utf16Be;
        t.text = fromUtf16(data, le);
        if (data.size() % 2)
            t.tail = data.last(1).toByteArray();
        return t;
    }
    if (data.startsWith(Utf8Bom)) {
        t.bom = data.first(Utf8Bom.size()).toByteArray();
        data = data.sliced(Utf8Bom.size());
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(data);
    if (!utf8.hasError()) {
        t.text = std::move(text);
        return t;
    }
    // Not UTF-8: the Russian 8-bit code page the older versions wrote in,
    // where every byte is a character and nothing becomes U+FFFD.
    t.encoding = Encoding::Cp1251;
    t.text = core::Cp1251::decode(data);
    return t;
}

bool representable(Encoding encoding, QStringView text) {
    if (encoding != Encoding::Cp1251)
        return true;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return core::Cp1251::code(c.unicode()) >= 0; });
}

QByteArray encodeFile(const Text& t) {
    QByteArray out = t.bom;
    switch (t.encoding) {
    case Encoding::Utf8:
        out += t.text.toUtf8();
        break;
    case Encoding::Cp1251:
        out += core::Cp1251::encode(t.text);
        break;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        out += toUtf16(t.text, t.encoding == Encoding::Utf16Le);
        break;
    }
    out += t.tail;
    return out;
}

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f');
}

QStringView trimmed(QStringView v) {
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

// One line of the file: its content and its line end ("\r\n", "\n", "\r",
// or "" for a last line without one).
struct Line {
    QStringView text;
    QStringView end;
};

QList<Line> splitLines(QStringView data) {
    QList<Line> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < data.size()) {
        const QChar c = data[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r')) {
            ++i;
            continue;
        }
        const qsizetype endLength =
            c == QLatin1Char('\r') && i + 1 < data.size() && data[i + 1] == QLatin1Char('\n') ? 2
                                                                                              : 1;
        lines.append({data.sliced(start, i - start), data.sliced(i, endLength)});
        i += endLength;
        start = i;
    }
    if (start < data.size())
        lines.append({data.sliced(start), {}});
    return lines;
}

// What a line means to the profile reader.
struct Parsed {
    enum Kind { Other, SectionLine, Key } kind = Other;
    QStringView name;  // section or key name, trimmed
    QStringView value; // key value, trimmed
};

Parsed parseLine(QStringView text) {
    const QStringView t = trimmed(text);
    if (t.isEmpty() || t.front() == QLatin1Char(';'))
        return {};
    if (t.front() == QLatin1Char('[')) {
        // The name runs to the last "]"; without one the line is no header.
        const qsizetype close = t.lastIndexOf(QLatin1Char(']'));
        if (close <= 0)
            return {};
        return {Parsed::SectionLine, trimmed(t.sliced(1, close - 1)), {}};
    }
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {};
    return {Parsed::Key, trimmed(t.first(eq)), trimmed(t.sliced(eq + 1))};
}

bool sameName(QStringView a, QStringView b) {
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

QString valueText(QStringView raw) {
    if (raw.size() >= 2 && raw.front() == QLatin1Char('"') && raw.back() == QLatin1Char('"'))
        raw = raw.sliced(1, raw.size() - 2);
    // The platform reader hands back a C string: text after a NUL is lost.
    const qsizetype nul = raw.indexOf(QChar(0));
    if (nul >= 0)
        raw = raw.first(nul);
    qsizetype cut = std::min<qsizetype>(raw.size(), IniFile::MaxValueLength);
    if (cut < raw.size() && raw[cut - 1].isHighSurrogate())
        --cut;
    return raw.first(cut).toString();
}

// Opens `path` for reading if, and only if, it is a regular file: the open
// does not wait for a FIFO's writer, and the type is checked on the opened
// file itself.
IniFile::Problem openRegular(const QString& path, QFile& file) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? IniFile::Problem::Missing
                                                   : IniFile::Problem::Unreadable;
    struct stat st {};
    IniFile::Problem problem = IniFile::Problem::None;
    if (::fstat(fd, &st) != 0)
        problem = IniFile::Problem::Unreadable;
    else if (S_ISDIR(st.st_mode))
        problem = IniFile::Problem::Folder;
    else if (!S_ISREG(st.st_mode))
        problem = IniFile::Problem::NotRegular;
    else if (st.st_size > IniFile::MaxFileSize)
        problem = IniFile::Problem::TooBig;
    if (problem == IniFile::Problem::None) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ||
            !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            problem = IniFile::Problem::Unreadable;
        else
            return problem;
    }
    ::close(fd);
    return problem;
}

// Reads the whole file.
IniFile::Problem readFile(const QString& path, QByteArray& data) {
    QFile file;
    const IniFile::Problem problem = openRegular(path, file);
    if (problem != IniFile::Problem::None)
        return problem;
    // In pieces, not readAll(), so a file that grows while we read stops at
    // the limit.
    data.clear();
    while (data.size() <= IniFile::MaxFileSize) {
        const QByteArray chunk = file.read(1024 * 1024);
        if (chunk.isEmpty())
            break;
        data.append(chunk);
    }
    if (file.error() != QFileDevice::NoError)
        return IniFile::Problem::Unreadable;
    return data.size() > IniFile::MaxFileSize ? IniFile::Problem::TooBig : IniFile::Problem::None;
}

// The text written after "Key=". Line breaks would split the entry and let a
// value forge other keys, so they become blanks; a value whose outer blanks
// or quotes the reader would strip is put in quotes so it reads back as is.
QString storedValue(QString value) {
    const qsizetype nul = value.indexOf(QChar(0));
    if (nul >= 0)
        value.truncate(nul);
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    if (value.isEmpty())
        return value;
    const bool quoted =
        value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"');
    if (isBlank(value.front()) || isBlank(value.back()) || quoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

// The line end new lines get: the one the file uses most (LF for a new file).
QString usualLineEnd(const QList<Line>& lines) {
    int lf = 0, crlf = 0, cr = 0;
    for (const Line& line : lines) {
        if (line.end == u"\n")
            ++lf;
        else if (line.end == u"\r\n")
            ++crlf;
        else if (line.end == u"\r")
            ++cr;
    }
    if (crlf > lf && crlf >= cr)
        return CrLf;
    if (cr > lf && cr > crlf)
        return QStringLiteral("\r");
    return QStringLiteral("\n");
}

} // namespace

struct IniFile::Contents {
    QByteArray bytes;
    Text text;
    QList<Line> lines; // views into text.text
};

const IniFile::Contents& IniFile::contentsOf(QByteArray bytes) {
    if (!m_cache || m_cache->bytes != bytes) {
        auto fresh = std::make_shared<Contents>();
        fresh->text = decodeFile(bytes);
        fresh->bytes = std::move(bytes);
        fresh->lines = splitLines(fresh->text.text);
        m_cache = std::move(fresh);
    }
    return *m_cache;
}

IniFile::IniFile(QString fileName)
    : m_fileName(std::move(fileName)) {}

IniFile::WriteGroup::WriteGroup(IniFile& ini)
    : m_ini(ini) {
    if (m_ini.m_groupDepth++ == 0)
        m_ini.m_groupReported = false;
}

IniFile::WriteGroup::~WriteGroup() {
    --m_ini.m_groupDepth;
}

IniFile::Problem IniFile::check(const QString& path) {
    QFile file;
    return openRegular(path, file);
}

QString IniFile::describe(Problem problem) {
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::Missing:
        return QStringLiteral("файл не найден");
    case Problem::Folder:
        return QStringLiteral("это папка, а не файл");
    case Problem::NotRegular:
        return QStringLiteral("это не обычный файл");
    case Problem::Unreadable:
        return QStringLiteral("нет доступа на чтение");
    case Problem::TooBig:
        return QStringLiteral("файл больше 64 МБ");
    }
    return QString();
}

QString IniFile::chooseSection(const QString& section) {
    QString chosen = section.isEmpty() ? m_lastSection : section;
    if (chosen.isEmpty())
        chosen = QStringLiteral("Main");
    m_lastSection = chosen;
    return chosen;
}

bool IniFile::fail(const QString& reason) {
    m_lastError = reason;
    if (m_reporter && !(m_groupDepth > 0 && m_groupReported)) {
        m_groupReported = m_groupDepth > 0;
        m_reporter(QStringLiteral("Не удалось сохранить настройки в файл ") +
                   QDir::toNativeSeparators(m_fileName) + CrLf + CrLf + reason);
    }
    return false;
}

QString IniFile::read(const QString& keyName, const QString& sectionName) {
    const QString section = chooseSection(sectionName).trimmed();
    const QString key = keyName.trimmed();
    QByteArray data;
    if (readFile(m_fileName, data) != Problem::None)
        return QString();
    // Only the first section of that name counts; in it, the first key.
    bool inSection = false;
    for (const Line& line : contentsOf(std::move(data)).lines) {
        const Parsed p = parseLine(line.text);
        if (p.kind == Parsed::SectionLine) {
            if (inSection)
                break;
            inSection = sameName(p.name, section);
        } else if (p.kind == Parsed::Key && inSection && sameName(p.name, key)) {
            return valueText(p.value);
        }
    }
    return QString();
}

bool IniFile::write(const QVariant& keyValue, const QString& keyName, const QString& sectionName) {
    m_lastError.clear();
    const QString value = toText(keyValue);
    const QString section = chooseSection(sectionName).trimmed();
    const QString key = keyName.trimmed();
    // A name the reader would take for a comment, a section or part of a
    // value would not read back as itself.
    const auto breaks = [](const QString& s) {
        return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')) ||
               s.contains(QChar(0));
    };
    if ((!key.isEmpty() && (key.front() == QLatin1Char(';') || key.front() == QLatin1Char('['))) ||
        key.contains(QLatin1Char('=')) || breaks(key) || breaks(section))
        return fail(QStringLiteral("недопустимое имя ключа или раздела"));

    QByteArray data;
    const Problem problem = readFile(m_fileName, data);
    if (problem != Problem::None && problem != Problem::Missing)
        return fail(describe(problem)); // cannot see what is there, so do not overwrite it

    const Contents& contents = contentsOf(std::move(data));
    const QList<Line>& lines = contents.lines;
    const QString eol = usualLineEnd(lines);

    const QString entry = key + QLatin1Char('=') + storedValue(value);

    qsizetype replaceAt = -1;   // line holding the key
    qsizetype insertAfter = -1; // last key (or header) line of the first matching section
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size() && replaceAt < 0; ++i) {
        const Parsed p = parseLine(lines[i].text);
        if (p.kind == Parsed::SectionLine) {
            if (inSection)
                break; // only the first section of the name is read back
            inSection = sameName(p.name, section);
            if (inSection)
                insertAfter = i;
        } else if (p.kind == Parsed::Key && inSection) {
            if (sameName(p.name, key))
                replaceAt = i;
            else
                insertAfter = i;
        }
    }

    QString out;
    out.reserve(contents.text.text.size() + entry.size() + section.size() + 8);
    const auto appendLine = [&](const Line& line) {
        out.append(line.text);
        out.append(line.end);
    };
    if (replaceAt >= 0) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i == replaceAt) {
                out.append(entry);
                out.append(lines[i].end);
            } else {
                appendLine(lines[i]);
            }
        }
    } else if (insertAfter >= 0) {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            appendLine(lines[i]);
            if (i == insertAfter) {
                if (lines[i].end.isEmpty())
                    out.append(eol);
                out.append(entry);
                if (!lines[i].end.isEmpty())
                    out.append(eol);
            }
        }
    } else {
        for (const Line& line : lines)
            appendLine(line);
        if (!lines.isEmpty() && lines.back().end.isEmpty())
            out.append(eol);
        out.append(QLatin1Char('['));
        out.append(section);
        out.append(QLatin1Char(']'));
        out.append(eol);
        out.append(entry);
        out.append(eol);
    }
    // A text the file's 8-bit code page cannot hold would come back as "?":
    // the file turns to UTF-8 instead, which keeps every line's text.
    Text file{contents.text.bom, contents.text.encoding, std::move(out), contents.text.tail};
    if (!representable(file.encoding, entry) || !representable(file.encoding, section))
        file.encoding = Encoding::Utf8;
    const QByteArray bytes = encodeFile(file);

    // A new file renamed over the old: a failure anywhere leaves the old one.
    QSaveFile saver(m_fileName);
    // A writable file in a folder we may not create files in can still be
    // updated, only not atomically.
    saver.setDirectWriteFallback(true);
    if (!saver.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("файл не открывается для записи: ") + saver.errorString());
    if (saver.write(bytes) != bytes.size()) {
        const QString why = saver.errorString();
        saver.cancelWriting();
        return fail(QStringLiteral("запись не удалась: ") + why);
    }
    if (!saver.commit())
        return fail(QStringLiteral("запись не удалась: ") + saver.errorString());
    // The next call reads these bytes back: no need to decode them again.
    auto written = std::make_shared<Contents>();
    written->bytes = bytes;
    written->text = std::move(file);
    written->lines = splitLines(written->text.text);
    m_cache = std::move(written);
    return true;
}

QString IniFile::toText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return QString();
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return QString::number(value.toInt());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::QDate:
        return QLocale::system().toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QDateTime:
        return QLocale::system().toString(value.toDateTime(), QLocale::ShortFormat);
    case QMetaType::Double:
    case QMetaType::Float: {
        QLocale locale = QLocale::system();
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(value.toDouble(), 'g', 15);
    }
    default:
        // Integers of every width convert to plain decimal digits.
        return value.toString();
    }
}

} // namespace vigilux::core
