#include "VideoTools.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace vigilux::test {

bool runFfmpeg(const QStringList& args) {
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return false;
    QProcess p;
    p.start(ffmpeg, QStringList{QStringLiteral("-y"), QStringLiteral("-hide_banner"),
                                QStringLiteral("-loglevel"), QStringLiteral("error")} +
                        args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString makeCrossingFootage(const QString& path, int fps) {
    const QString rate = QString::number(fps);
    const bool made = runFfmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("color=c=0x606060:s=160x120:r=%1:d=6").arg(rate), QStringLiteral("-f"),
         QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("color=c=0xe0e0e0:s=40x40:r=%1:d=6").arg(rate),
         QStringLiteral("-filter_complex"),
         QStringLiteral("[0][1]overlay=x='mod((t-1.5)*150,120)':y=40:enable='between(t,1.5,3)'"),
         QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
         QStringLiteral("3"), path});
    return made ? path : QString();
}

QMap<QString, QString> probeVideo(const QString& file) {
    QProcess p;
    p.start(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
         QStringLiteral("-select_streams"), QStringLiteral("v:0"), QStringLiteral("-show_entries"),
         QStringLiteral("stream=codec_name,pix_fmt,width,height,nb_read_frames:format=duration"),
         QStringLiteral("-of"), QStringLiteral("default=nw=1"), file});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    QMap<QString, QString> values;
    for (const QString& line :
         QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1).trimmed());
    }
    return values;
}

QList<QStringList> readEventLog(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QStringList> rows;
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            rows << lines[i].split(QLatin1Char(','));
    return rows;
}

} // namespace vigilux::test
