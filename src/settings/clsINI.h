#pragma once

#include <QString>
#include <QVariant>

namespace vigilux::settings {

// The one reader/writer of options.ini. Each call touches exactly one key of
// one section; values go in and come out as text. Section and key names are
// matched without regard to case. The object remembers the section of its
// last call: an empty section means "the same as last time" (or "Main" on a
// fresh object). UI thread only.
class clsINI final {
public:
    explicit clsINI(QString fileName = QString());

    QString FileName() const { return m_fileName; }
    void setFileName(const QString& FName) { m_fileName = FName; }
    QString LastSection() const { return m_lastSection; }

    // The value of KeyName in Section, cut to 254 characters; "" when the
    // file, the section or the key is missing. Never creates the file.
    QString ReadINI(const QString& KeyName, const QString& Section);

    // Stores KeyValue (bool -> "True"/"False", integers as decimal text,
    // dates as the system's short date, strings unchanged) under KeyName in
    // Section, creating file, section and key as needed and keeping every
    // other line in its place. A write that fails leaves the file as it was.
    void SaveINI(const QVariant& KeyValue, const QString& KeyName, const QString& Section);

    // The text SaveINI stores for a value.
    static QString toText(const QVariant& value);

    // Longest value ReadINI returns.
    static constexpr int MaxValueLength = 254;

private:
    QString chooseSection(const QString& section);

    QString m_fileName;
    QString m_lastSection;
};

} // namespace vigilux::settings
