#include "settings/IniFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <utility>

namespace vigilux::settings {

namespace {

// Beyond this size the file is not ours to parse: reads give "" and writes
// leave it alone rather than load something huge on every call.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

constexpr QByteArrayView Utf8Bom("\xEF\xBB\xBF");

QString decode(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::System);
    return decoder.decode(bytes);
}

QByteArray encode(const QString& text) {
    QStringEncoder encoder(QStringConverter::System);
    return encoder.encode(text);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView v) {
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

// One physical line of the file: its content without the line end, and the
// line end itself ("\r\n", "\n" or "" for a last line without one).
struct Line {
    QByteArrayView text;
    QByteArrayView end;
};

QList<Line> splitLines(QByteArrayView data) {
    QList<Line> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        const qsizetype nl = data.indexOf('\n', start);
        if (nl < 0) {
            lines.append({data.sliced(start), {}});
            break;
        }
        qsizetype contentEnd = nl;
        if (contentEnd > start && data[contentEnd - 1] == '\r')
            --contentEnd;
        lines.append(
            {data.sliced(start, contentEnd - start), data.sliced(contentEnd, nl + 1 - contentEnd)});
        start = nl + 1;
    }
    return lines;
}

// What a line means to the profile reader.
struct Parsed {
    enum Kind { Other, Section, Key } kind = Other;
    QByteArrayView name;  // section or key name, trimmed
    QByteArrayView value; // key value, trimmed
};

Parsed parseLine(QByteArrayView text) {
    const QByteArrayView t = trimmed(text);
    if (t.isEmpty() || t.front() == ';')
        return {};
    if (t.front() == '[') {
        QByteArrayView inner = t.sliced(1);
        const qsizetype close = inner.indexOf(']');
        if (close >= 0)
            inner = inner.first(close);
        return {Parsed::Section, trimmed(inner), {}};
    }
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return {};
    const QByteArrayView key = trimmed(t.first(eq));
    if (key.isEmpty())
        return {};
    return {Parsed::Key, key, trimmed(t.sliced(eq + 1))};
}

// Names are compared case-insensitively after decoding. A name far longer in
// bytes than the one sought cannot match (no encoding spends more than four
// bytes per UTF-16 unit), so a megabyte of junk before a "=" is not decoded.
bool sameName(QByteArrayView fileName, const QString& wanted) {
    if (fileName.size() > 4 * wanted.size())
        return false;
    return decode(fileName).compare(wanted, Qt::CaseInsensitive) == 0;
}

QString valueText(QByteArrayView raw) {
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"')
        raw = raw.sliced(1, raw.size() - 2);
    // The platform reader hands back a C string: text after a NUL is lost.
    const qsizetype nul = raw.indexOf('\0');
    if (nul >= 0)
        raw = raw.first(nul);
    QString value = decode(raw);
    if (value.size() > IniFile::MaxValueLength) {
        qsizetype cut = IniFile::MaxValueLength;
        if (value.at(cut - 1).isHighSurrogate())
            --cut;
        value.truncate(cut);
    }
    return value;
}

// Reads the whole file. False when it is missing, unreadable or too big.
bool readFile(const QString& path, QByteArray& data) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    // In pieces, not read(MaxFileSize + 1) (which reserves the whole limit up
    // front) nor readAll() (which never ends on a device file).
    data.clear();
    while (data.size() <= MaxFileSize) {
        const QByteArray chunk = file.read(1024 * 1024);
        if (chunk.isEmpty())
            break;
        data.append(chunk);
    }
    return file.error() == QFileDevice::NoError && data.size() <= MaxFileSize;
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
    const auto blank = [](QChar c) {
        return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
               c == QLatin1Char('\f');
    };
    const bool quoted =
        value.size() >= 2 && value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"');
    if (blank(value.front()) || blank(value.back()) || quoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

} // namespace

IniFile::IniFile(QString fileName)
    : m_fileName(std::move(fileName)) {}

QString IniFile::chooseSection(const QString& section) {
    QString chosen = section.isEmpty() ? m_lastSection : section;
    if (chosen.isEmpty())
        chosen = QStringLiteral("Main");
    m_lastSection = chosen;
    return chosen;
}

QString IniFile::ReadINI(const QString& KeyName, const QString& Section) {
    const QString section = chooseSection(Section).trimmed();
    const QString key = KeyName.trimmed();
    QByteArray data;
    if (!readFile(m_fileName, data))
        return QString();
    QByteArrayView view(data);
    if (view.startsWith(Utf8Bom))
        view = view.sliced(Utf8Bom.size());

    // Every section of that name counts (a hand-edited file may repeat one);
    // the first matching key in file order wins.
    bool inSection = false;
    for (const Line& line : splitLines(view)) {
        const Parsed p = parseLine(line.text);
        if (p.kind == Parsed::Section)
            inSection = sameName(p.name, section);
        else if (p.kind == Parsed::Key && inSection && sameName(p.name, key))
            return valueText(p.value);
    }
    return QString();
}

void IniFile::SaveINI(const QVariant& KeyValue, const QString& KeyName, const QString& Section) {
    const QString text = toText(KeyValue);
    const QString section = chooseSection(Section).trimmed();
    const QString key = KeyName.trimmed();
    // A name the reader would take for a comment, a section or part of a
    // value would not read back as itself.
    if (key.isEmpty() || key.front() == QLatin1Char(';') || key.front() == QLatin1Char('[') ||
        KeyName.contains(QLatin1Char('=')) || KeyName.contains(QLatin1Char('\n')) ||
        KeyName.contains(QLatin1Char('\r')) || section.contains(QLatin1Char(']')) ||
        section.contains(QLatin1Char('\n')) || section.contains(QLatin1Char('\r')))
        return;

    QByteArray data;
    if (QFile::exists(m_fileName) && !readFile(m_fileName, data))
        return; // cannot see what is there, so do not overwrite it

    QByteArrayView body(data);
    QByteArrayView bom;
    if (body.startsWith(Utf8Bom)) {
        bom = body.first(Utf8Bom.size());
        body = body.sliced(Utf8Bom.size());
    }
    const QList<Line> lines = splitLines(body);

    // The file's own line end; a new file gets the native one.
    QByteArrayView eol("\n");
    for (const Line& line : lines) {
        if (!line.end.isEmpty()) {
            eol = line.end;
            break;
        }
    }

    const QByteArray entry = encode(key + QLatin1Char('=') + storedValue(text));

    qsizetype replaceAt = -1;   // line holding the key
    qsizetype insertAfter = -1; // last key (or header) line of the first matching section
    bool inSection = false;
    bool firstSectionDone = false;
    for (qsizetype i = 0; i < lines.size() && replaceAt < 0; ++i) {
        const Parsed p = parseLine(lines[i].text);
        if (p.kind == Parsed::Section) {
            if (inSection)
                firstSectionDone = true;
            inSection = sameName(p.name, section);
            if (inSection && !firstSectionDone && insertAfter < 0)
                insertAfter = i;
        } else if (p.kind == Parsed::Key && inSection) {
            if (sameName(p.name, key))
                replaceAt = i;
            else if (!firstSectionDone)
                insertAfter = i;
        }
    }

    QByteArray out;
    out.reserve(data.size() + entry.size() + 2 * section.size() + 8);
    out.append(bom);
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
                out.append(lines[i].end.isEmpty() ? QByteArrayView() : eol);
            }
        }
    } else {
        for (const Line& line : lines)
            appendLine(line);
        if (!lines.isEmpty() && lines.back().end.isEmpty())
            out.append(eol);
        out.append('[');
        out.append(encode(section));
        out.append(']');
        out.append(eol);
        out.append(entry);
        out.append(eol);
    }

    // A new file renamed over the old: a failure anywhere leaves the old one.
    QSaveFile file(m_fileName);
    // A writable file in a folder we may not create files in can still be
    // updated, only not atomically.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return;
    }
    file.commit();
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

} // namespace vigilux::settings
