#include "core/IniFile.h"

#include "core/Cp1251.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using vigilux::core::IniFile;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

QByteArray utf16le(QStringView text) {
    QByteArray out;
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

QByteArray cp1251(QStringView text) {
    return vigilux::core::Cp1251::encode(text);
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(data), data.size());
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("options.ini"));
        QFile::remove(m_path);
    }

    void missingFileReadsEmptyAndIsNotCreated() {
        IniFile ini(m_path);
        QCOMPARE(ini.read(QStringLiteral("Sound"), QStringLiteral("Interface")), QString());
        QCOMPARE(ini.read(QStringLiteral("FirstRun"), QString()), QString());
        QVERIFY(!QFile::exists(m_path));
    }

    void valueToText_data() {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("true") << QVariant(true) << "True";
        QTest::newRow("false") << QVariant(false) << "False";
        QTest::newRow("int16") << QVariant::fromValue<qint16>(1000) << "1000";
        QTest::newRow("negative int16") << QVariant::fromValue<qint16>(-32768) << "-32768";
        QTest::newRow("int32") << QVariant::fromValue<qint32>(-2147483647 - 1) << "-2147483648";
        QTest::newRow("int8 is a number") << QVariant::fromValue<qint8>(65) << "65";
        QTest::newRow("big int32 no separators") << QVariant(1234567) << "1234567";
        QTest::newRow("string") << QVariant(QStringLiteral(" C:/путь ")) << " C:/путь ";
        QTest::newRow("empty") << QVariant() << "";
        const QDate date(2026, 3, 9);
        QTest::newRow("date") << QVariant(date)
                              << QLocale::system().toString(date, QLocale::ShortFormat);
    }
    void valueToText() {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(IniFile::toText(value), text);

        // And that text is what lands in the file.
        IniFile ini(m_path);
        ini.write(value, QStringLiteral("K"), QStringLiteral("S"));
        QCOMPARE(ini.read(QStringLiteral("K"), QStringLiteral("S")), text);
    }

    void writesPlainLines() {
        IniFile ini(m_path);
        ini.write(true, QStringLiteral("Sound"), QStringLiteral("Interface"));
        ini.write(false, QStringLiteral("MinStart"), QStringLiteral("Interface"));
        ini.write(qint16(1000), QStringLiteral("MaxFilesCount"), QStringLiteral("Files"));
        QCOMPARE(
            readAll(m_path),
            QByteArray("[Interface]\nSound=True\nMinStart=False\n[Files]\nMaxFilesCount=1000\n"));
    }

    void sectionChoice() {
        writeAll(m_path, "[Main]\nFirstRun=main\n[HD]\nFirstRun=hd\nDefHD=1,2\n");
        IniFile ini(m_path);
        QCOMPARE(ini.lastSection(), QString());
        QCOMPARE(ini.read(QStringLiteral("FirstRun"), QString()), QStringLiteral("main"));
        QCOMPARE(ini.lastSection(), QStringLiteral("Main"));
        ini.read(QStringLiteral("DefHD"), QStringLiteral("HD"));
        QCOMPARE(ini.read(QStringLiteral("FirstRun"), QString()), QStringLiteral("hd"));

        // A write with no section lands in the last one used.
        ini.write(QStringLiteral("False"), QStringLiteral("FirstRun"), QString());
        QCOMPARE(ini.lastSection(), QStringLiteral("HD"));
        QCOMPARE(readAll(m_path),
                 QByteArray("[Main]\nFirstRun=main\n[HD]\nFirstRun=False\nDefHD=1,2\n"));
    }

    void longValueIsCut() {
        IniFile ini(m_path);
        const QString value = QString(300, QLatin1Char('x')) + QStringLiteral("end");
        ini.write(value, QStringLiteral("Long"), QStringLiteral("S"));
        QVERIFY(readAll(m_path).contains(value.toUtf8())); // stored whole
        QCOMPARE(ini.read(QStringLiteral("Long"), QStringLiteral("S")),
                 QString(254, QLatin1Char('x')));

        // Cyrillic counts characters, not bytes.
        const QString cyr(260, QChar(0x0416));
        ini.write(cyr, QStringLiteral("Cyr"), QStringLiteral("S"));
        QCOMPARE(ini.read(QStringLiteral("Cyr"), QStringLiteral("S")), cyr.left(254));
    }

    // Files edited by hand read as the platform's profile reader reads them.
    void readsRealWorldFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("CRLF") << QByteArray("[Files]\r\nSavePath=/a/b\r\nJPGq=75\r\n") << "Files"
                              << "SavePath"
                              << "/a/b";
        QTest::newRow("LF") << QByteArray("[Files]\nSavePath=/a/b\n") << "Files"
                            << "SavePath"
                            << "/a/b";
        QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF[Files]\r\nSavePath=x\r\n") << "Files"
                             << "SavePath"
                             << "x";
        QTest::newRow("no final newline") << QByteArray("[Files]\nSavePath=x") << "Files"
                                          << "SavePath"
                                          << "x";
        QTest::newRow("blank lines and comments")
            << QByteArray("; settings\n\n[Files]\n\n; the folder\nSavePath=x\n\n") << "Files"
            << "SavePath"
            << "x";
        QTest::newRow("commented key is not a key")
            << QByteArray("[Files]\n;SavePath=old\n  ; SavePath=older\n") << "Files"
            << "SavePath"
            << "";
        QTest::newRow("blanks around names, = and value")
            << QByteArray("  [  Files ]  \n\t SavePath \t=  /a b  \n") << "Files"
            << "SavePath"
            << "/a b";
        QTest::newRow("names ignore case") << QByteArray("[HD]\nMyHD=1,2\n") << "hd"
                                           << "myHD"
                                           << "1,2";
        QTest::newRow("cyrillic names ignore case")
            << QByteArray("[Раздел]\nКлюч=значение\n") << "РАЗДЕЛ"
            << "ключ"
            << "значение";
        QTest::newRow("first duplicate key wins") << QByteArray("[S]\nK=first\nK=second\n") << "S"
                                                  << "K"
                                                  << "first";
        QTest::newRow("duplicate section, only the first counts")
            << QByteArray("[S]\nA=1\n[T]\nK=t\n[s]\nK=second\n") << "S"
            << "K"
            << "";
        QTest::newRow("duplicate section, first wins") << QByteArray("[S]\nK=1\n[S]\nK=2\n") << "S"
                                                       << "K"
                                                       << "1";
        QTest::newRow("key in another section") << QByteArray("[T]\nK=t\n[S]\nA=1\n") << "S"
                                                << "K"
                                                << "";
        QTest::newRow("key before any section") << QByteArray("K=loose\n[S]\n") << "S"
                                                << "K"
                                                << "";
        QTest::newRow("line without =") << QByteArray("[S]\nK\nK=v\n") << "S"
                                        << "K"
                                        << "v";
        QTest::newRow("value holds =") << QByteArray("[S]\nK=a=b\n") << "S"
                                       << "K"
                                       << "a=b";
        QTest::newRow("empty value") << QByteArray("[S]\nK=\nK=later\n") << "S"
                                     << "K"
                                     << "";
        QTest::newRow("quoted value") << QByteArray("[S]\nK=\" spaced \"\n") << "S"
                                      << "K"
                                      << " spaced ";
        QTest::newRow("lone quote kept") << QByteArray("[S]\nK=\"open\n") << "S"
                                         << "K"
                                         << "\"open";
        QTest::newRow("unclosed bracket is no header") << QByteArray("[S\nK=v\n") << "S"
                                                       << "K"
                                                       << "";
        QTest::newRow("unclosed bracket, keys stay in the section before")
            << QByteArray("[T]\n[S\nK=v\n") << "T"
            << "K"
            << "v";
        QTest::newRow("header ends at the last bracket") << QByteArray("[Ma]in]\nK=v\n") << "Ma]in"
                                                         << "K"
                                                         << "v";
        QTest::newRow("not the first bracket") << QByteArray("[Ma]in]\nK=v\n") << "Ma"
                                               << "K"
                                               << "";
        QTest::newRow("empty key") << QByteArray("[S]\n=5\n") << "S"
                                   << ""
                                   << "5";
        QTest::newRow("CR-only line ends") << QByteArray("[S]\rA=1\rK=v\r[T]\rK=t\r") << "S"
                                           << "K"
                                           << "v";
        QTest::newRow("lone CR ends a line") << QByteArray("[S]\nK=a\rb=c\n") << "S"
                                             << "K"
                                             << "a";
        QTest::newRow("key after a lone CR") << QByteArray("[S]\nK=a\rb=c\n") << "S"
                                             << "b"
                                             << "c";
        QTest::newRow("UTF-16 LE with BOM")
            << utf16le(u"\uFEFF[Files]\r\nSavePath=C:\\Снимки\r\n") << "files"
            << "SavePath"
            << "C:\\Снимки";
        QTest::newRow("Windows-1251 value")
            << cp1251(u"[Files]\r\nSavePath=C:\\Снимки\r\n") << "Files"
            << "SavePath"
            << "C:\\Снимки";
        QTest::newRow("Windows-1251 names") << cp1251(u"[Раздел]\r\nКлюч=Значение\r\n") << "раздел"
                                            << "КЛЮЧ"
                                            << "Значение";
        QTest::newRow("junk around")
            << QByteArray("\x01\x02\xff\xfe\n[S]\n\xc3\x28=\x80\nK=v\n\x00\x00\n", 21) << "S"
            << "K"
            << "v";
        QTest::newRow("NUL ends the value") << QByteArray("[S]\nK=ab\0cd\n", 12) << "S"
                                            << "K"
                                            << "ab";
    }
    void readsRealWorldFiles() {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeAll(m_path, content);
        IniFile ini(m_path);
        QCOMPARE(ini.read(key, section), expected);
        QCOMPARE(readAll(m_path), content); // reading never writes
    }

    // A write changes one line (or adds one) and keeps every other byte.
    void writesInPlace_data() {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray hand = "\xEF\xBB\xBF; mine\r\n[Interface]\r\n  sound = True ; keep?\r\n"
                                "Other=1\r\n\r\n; next\r\n[Files]\r\nJPGq=75\r\n";
        QTest::newRow("replace keeps BOM, CRLF, comments")
            << hand << "INTERFACE"
            << "Sound"
            << "False"
            << QByteArray("\xEF\xBB\xBF; mine\r\n[Interface]\r\nSound=False\r\n"
                          "Other=1\r\n\r\n; next\r\n[Files]\r\nJPGq=75\r\n");
        QTest::newRow("new key after last key, before blank line")
            << hand << "Interface"
            << "MinStart"
            << "True"
            << QByteArray("\xEF\xBB\xBF; mine\r\n[Interface]\r\n  sound = True ; keep?\r\n"
                          "Other=1\r\nMinStart=True\r\n\r\n; next\r\n[Files]\r\nJPGq=75\r\n");
        QTest::newRow("new key into last section") << hand << "Files"
                                                   << "SavePath"
                                                   << "/p" << hand + QByteArray("SavePath=/p\r\n");
        QTest::newRow("new section at the end")
            << hand << "HD"
            << "DefHD"
            << "1,2" << hand + QByteArray("[HD]\r\nDefHD=1,2\r\n");
        QTest::newRow("empty section gets its first key")
            << QByteArray("[A]\n\n[B]\nx=1\n") << "A"
            << "k"
            << "v" << QByteArray("[A]\nk=v\n\n[B]\nx=1\n");
        QTest::newRow("no final newline, new section") << QByteArray("[A]\nx=1") << "B"
                                                       << "k"
                                                       << "v" << QByteArray("[A]\nx=1\n[B]\nk=v\n");
        QTest::newRow("no final newline, new key") << QByteArray("[A]\nx=1") << "A"
                                                   << "k"
                                                   << "v" << QByteArray("[A]\nx=1\nk=v");
        QTest::newRow("no final newline, replace") << QByteArray("[A]\nk=1") << "A"
                                                   << "k"
                                                   << "2" << QByteArray("[A]\nk=2");
        QTest::newRow("duplicate key: first replaced, second kept")
            << QByteArray("[A]\nk=1\nk=2\n") << "A"
            << "k"
            << "3" << QByteArray("[A]\nk=3\nk=2\n");
        QTest::newRow("duplicate section: new key into the first")
            << QByteArray("[A]\nx=1\n[B]\n[A]\ny=2\n") << "a"
            << "k"
            << "v" << QByteArray("[A]\nx=1\nk=v\n[B]\n[A]\ny=2\n");
        QTest::newRow("duplicate section: key in the second is not read, so goes to the first")
            << QByteArray("[A]\nx=1\n[B]\n[A]\nk=2\n") << "A"
            << "k"
            << "v" << QByteArray("[A]\nx=1\nk=v\n[B]\n[A]\nk=2\n");
        QTest::newRow("CR-only file keeps CR") << QByteArray("[A]\rx=1\r") << "A"
                                               << "k"
                                               << "v" << QByteArray("[A]\rx=1\rk=v\r");
        QTest::newRow("UTF-16 file stays UTF-16")
            << utf16le(u"\uFEFF[A]\r\nx=Я\r\n") << "B"
            << "k"
            << "путь" << utf16le(u"\uFEFF[A]\r\nx=Я\r\n[B]\r\nk=путь\r\n");
        QTest::newRow("Windows-1251 file stays Windows-1251")
            << cp1251(u"[A]\r\np=C:\\Снимки\r\n") << "A"
            << "s"
            << "Звук" << cp1251(u"[A]\r\np=C:\\Снимки\r\ns=Звук\r\n");
        // Rather than write "?" for a character the code page lacks, the
        // whole file turns to UTF-8, which keeps every other text.
        QTest::newRow("Windows-1251 file, character it lacks")
            << cp1251(u"[A]\r\np=C:\\Снимки\r\n") << "A"
            << "s"
            << "日本" << QStringLiteral("[A]\r\np=C:\\Снимки\r\ns=日本\r\n").toUtf8();
        QTest::newRow("line without = left alone") << QByteArray("[A]\nk\n") << "A"
                                                   << "k"
                                                   << "v" << QByteArray("[A]\nk=v\nk\n");
    }
    void writesInPlace() {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        writeAll(m_path, before);
        IniFile ini(m_path);
        ini.write(value, key, section);
        QCOMPARE(readAll(m_path), after);
        QCOMPARE(ini.read(key, section), value);
    }

    void writingTwiceLeavesOneLine() {
        IniFile ini(m_path);
        ini.write(qint16(1), QStringLiteral("MyHD"), QStringLiteral("HD"));
        ini.write(qint16(2), QStringLiteral("myhd"), QStringLiteral("hd"));
        QCOMPARE(readAll(m_path), QByteArray("[HD]\nmyhd=2\n"));
        QCOMPARE(ini.read(QStringLiteral("MyHD"), QStringLiteral("HD")), QStringLiteral("2"));
    }

    void valuesReadBackAsWritten_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("plain") << "abc"
                               << "abc";
        QTest::newRow("cyrillic path") << "/home/пользователь/Снимки"
                                       << "/home/пользователь/Снимки";
        QTest::newRow("outer blanks") << "  x y \t"
                                      << "  x y \t";
        QTest::newRow("quoted") << "\"q\""
                                << "\"q\"";
        QTest::newRow("one quote") << "\""
                                   << "\"";
        QTest::newRow("= and ;") << "a=b;c"
                                 << "a=b;c";
        QTest::newRow("bracket") << "[S]"
                                 << "[S]";
        // A line break would start a new line that forges other keys.
        QTest::newRow("line breaks") << "a\r\n[FTP]\nFtpPass=x"
                                     << "a  [FTP] FtpPass=x";
    }
    void valuesReadBackAsWritten() {
        QFETCH(QString, value);
        QFETCH(QString, readBack);
        IniFile ini(m_path);
        ini.write(value, QStringLiteral("K"), QStringLiteral("S"));
        ini.write(QStringLiteral("after"), QStringLiteral("Z"), QStringLiteral("S"));
        QCOMPARE(ini.read(QStringLiteral("K"), QStringLiteral("S")), readBack);
        QCOMPARE(ini.read(QStringLiteral("Z"), QStringLiteral("S")), QStringLiteral("after"));
        QCOMPARE(readAll(m_path).count('\n'), 3);
    }

    void failedWritesLeaveTheFile() {
        // Into a folder that does not exist: nothing is created.
        IniFile missing(m_dir.filePath(QStringLiteral("nope/options.ini")));
        missing.write(true, QStringLiteral("K"), QStringLiteral("S"));
        QVERIFY(!QDir(m_dir.filePath(QStringLiteral("nope"))).exists());

        // The name is a folder.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("adir")));
        IniFile folder(m_dir.filePath(QStringLiteral("adir")));
        folder.write(true, QStringLiteral("K"), QStringLiteral("S"));
        QCOMPARE(folder.read(QStringLiteral("K"), QStringLiteral("S")), QString());
        QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("adir"))).isDir());
    }

    // Things named like a settings file that are none: reads give "" without
    // blocking, writes fail with the reason and are reported, once per group.
    void unusableFiles() {
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.ini"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QCOMPARE(IniFile::check(fifo), IniFile::Problem::NotRegular);
        QStringList reports;
        IniFile ini(fifo);
        ini.setFailureReporter([&](const QString& text) { reports << text; });
        QCOMPARE(ini.read(QStringLiteral("K"), QStringLiteral("S")), QString());
        {
            const IniFile::WriteGroup group(ini);
            QVERIFY(!ini.write(QStringLiteral("a"), QStringLiteral("K"), QStringLiteral("S")));
            QVERIFY(!ini.write(QStringLiteral("b"), QStringLiteral("L"), QStringLiteral("S")));
        }
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports[0].contains(QDir::toNativeSeparators(fifo)));
        QVERIFY(reports[0].contains(IniFile::describe(IniFile::Problem::NotRegular)));
        QVERIFY(!ini.write(QStringLiteral("c"), QStringLiteral("M"), QStringLiteral("S")));
        QCOMPARE(reports.size(), 2);
        QCOMPARE(ini.lastError(), IniFile::describe(IniFile::Problem::NotRegular));

        QCOMPARE(IniFile::check(m_dir.path()), IniFile::Problem::Folder);
        QCOMPARE(IniFile::check(m_dir.filePath(QStringLiteral("none.ini"))),
                 IniFile::Problem::Missing);

        // Over 64 MB (a sparse file, so the test writes little).
        const QString bigPath = m_dir.filePath(QStringLiteral("big.ini"));
        writeAll(bigPath, "[S]\nK=v\n");
        QVERIFY(QFile::resize(bigPath, IniFile::MaxFileSize + 1));
        QCOMPARE(IniFile::check(bigPath), IniFile::Problem::TooBig);
        IniFile big(bigPath);
        QCOMPARE(big.read(QStringLiteral("K"), QStringLiteral("S")), QString());
        QVERIFY(!big.write(QStringLiteral("w"), QStringLiteral("K"), QStringLiteral("S")));
        QCOMPARE(QFileInfo(bigPath).size(), IniFile::MaxFileSize + 1);
        QFile::remove(bigPath);

        if (::geteuid() != 0) {
            const QString locked = m_dir.filePath(QStringLiteral("locked.ini"));
            writeAll(locked, "[S]\nK=v\n");
            QFile::setPermissions(locked, QFile::WriteOwner);
            QCOMPARE(IniFile::check(locked), IniFile::Problem::Unreadable);
            IniFile unreadable(locked);
            QVERIFY(
                !unreadable.write(QStringLiteral("w"), QStringLiteral("K"), QStringLiteral("S")));
            QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
            QCOMPARE(readAll(locked), QByteArray("[S]\nK=v\n"));
        }
    }

    void readOnlyFileIsLeftAlone() {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        const QByteArray content = "[S]\nK=old\n";
        writeAll(m_path, content);
        QFile::setPermissions(m_path, QFile::ReadOwner);
        IniFile ini(m_path);
        ini.write(QStringLiteral("new"), QStringLiteral("K"), QStringLiteral("S"));
        ini.write(QStringLiteral("new"), QStringLiteral("K2"), QStringLiteral("T"));
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readAll(m_path), content);
    }

    void damagedFilesKeepTheirBytes() {
        // Binary junk, a 10 MB line, and a real section after them.
        QByteArray junk;
        for (int i = 0; i < 4096; ++i)
            junk.append(static_cast<char>((i * 7919) & 0xFF));
        const QByteArray longLine =
            QByteArray(10 * 1024 * 1024, 'A') + "=" + QByteArray(100, 'B') + "\n";
        const QByteArray before = junk + "\n" + longLine + "[S]\nK=v\n";
        writeAll(m_path, before);

        IniFile ini(m_path);
        QCOMPARE(ini.read(QStringLiteral("K"), QStringLiteral("S")), QStringLiteral("v"));
        QCOMPARE(ini.read(QStringLiteral("A"), QStringLiteral("S")), QString());
        ini.write(QStringLiteral("w"), QStringLiteral("K"), QStringLiteral("S"));
        ini.write(QStringLiteral("x"), QStringLiteral("New"), QStringLiteral("T"));
        QCOMPARE(readAll(m_path), junk + "\n" + longLine + "[S]\nK=w\n[T]\nNew=x\n");
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_ini_file.moc"
