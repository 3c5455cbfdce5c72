#include "replay/ReplayPlot.h"

#include "detection/DetectionMask.h"

#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

namespace vigilux::replay {

namespace {

// A "nice" step for axis ticks: 1, 2 or 5 times a power of ten, so that
// about `wanted` ticks fit into `span`.
double niceStep(double span, int wanted) {
    const double raw = span / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(std::max(raw, 1e-9))));
    for (const double f : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= f * power)
            return f * power;
    }
    return 10.0 * power;
}

QString secondsText(double seconds) {
    if (seconds >= 3600.0) {
        const int s = static_cast<int>(std::lround(seconds));
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    return QString::number(seconds, 'g', 6);
}

} // namespace

ReplayPlot::ReplayPlot(QString title, int thresholdPercent, std::int64_t durationMs)
    : m_title(std::move(title))
    , m_threshold(std::clamp(thresholdPercent, 0, 100))
    , m_durationMs(durationMs) {}

std::int64_t ReplayPlot::timeSpanMs() const {
    std::int64_t span = std::max<std::int64_t>(m_durationMs, 1);
    if (!m_steps.empty())
        span = std::max(span, m_steps.back().tMs);
    for (const Span& e : m_events)
        span = std::max(span, e.endMs);
    return span;
}

QImage ReplayPlot::render(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    paint(p, size);
    return image;
}

void ReplayPlot::paint(QPainter& p, QSize size) const {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setPixelSize(std::max(11, size.height() / 40));
    p.setFont(font);
    const QFontMetrics fm(font);

    const int left = fm.horizontalAdvance(QStringLiteral("100")) + fm.height() * 2 + 10;
    // Room for the objects' scale on the right.
    const int right = fm.horizontalAdvance(QStringLiteral("100")) + 12;
    const int top = fm.height() * 3;
    const int bottom = fm.height() * 3 + 10;
    const QRectF area(left, top, size.width() - left - right, size.height() - top - bottom);
    const double spanMs = static_cast<double>(timeSpanMs());
    const auto xOf = [&](double ms) { return area.left() + area.width() * ms / spanMs; };
    // The vertical scale follows the data: the quiet and the moving levels
    // lie within a few percent of each other, and a fixed 0..100 would
    // flatten exactly the difference a user chooses the threshold from.
    int highest = std::max(m_threshold, 1);
    for (const Step& s : m_steps)
        highest = std::max(highest, s.changedPercent);
    const double yStep = niceStep(highest * 1.15, 10);
    const double yTop = std::min(100.0, std::ceil(highest * 1.15 / yStep) * yStep);
    const auto yOf = [&](double percent) { return area.bottom() - area.height() * percent / yTop; };

    // Events first, so everything else lies on top of their shading.
    const QColor eventColor(255, 214, 150);
    for (const Span& e : m_events) {
        const double x0 = xOf(static_cast<double>(e.startMs));
        const double x1 = std::max(x0 + 2.0, xOf(static_cast<double>(e.endMs)));
        p.fillRect(QRectF(x0, area.top(), x1 - x0, area.height()), eventColor);
    }

    // Grid and axes.
    p.setPen(QPen(QColor(225, 225, 225), 1));
    const double xStep = niceStep(spanMs / 1000.0, 12);
    for (double s = 0; s * 1000.0 <= spanMs + 1e-6; s += xStep)
        p.drawLine(QPointF(xOf(s * 1000.0), area.top()), QPointF(xOf(s * 1000.0), area.bottom()));
    for (double v = 0; v <= yTop + 1e-6; v += yStep)
        p.drawLine(QPointF(area.left(), yOf(v)), QPointF(area.right(), yOf(v)));
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(area);
    for (double s = 0; s * 1000.0 <= spanMs + 1e-6; s += xStep) {
        const QString text = secondsText(s);
        const double x = xOf(s * 1000.0);
        p.drawText(QPointF(x - fm.horizontalAdvance(text) / 2.0, area.bottom() + fm.height() + 2),
                   text);
    }
    for (double v = 0; v <= yTop + 1e-6; v += yStep) {
        const QString text = QString::number(v, 'g', 4);
        p.drawText(
            QPointF(area.left() - fm.horizontalAdvance(text) - 6, yOf(v) + fm.ascent() / 2.0),
            text);
    }
    const QString xLabel = QStringLiteral("Время от начала записи, с");
    p.drawText(QPointF(area.center().x() - fm.horizontalAdvance(xLabel) / 2.0,
                       size.height() - fm.descent() - 6),
               xLabel);
    p.save();
    const QString yLabel = QStringLiteral("Изменение кадра, %");
    p.translate(fm.height(), area.center().y() + fm.horizontalAdvance(yLabel) / 2.0);
    p.rotate(-90);
    p.drawText(QPointF(0, 0), yLabel);
    p.restore();

    // The changed share, step by step.
    if (!m_steps.empty()) {
        QPainterPath line;
        line.moveTo(xOf(static_cast<double>(m_steps.front().tMs)),
                    yOf(m_steps.front().changedPercent));
        for (const Step& s : m_steps)
            line.lineTo(xOf(static_cast<double>(s.tMs)), yOf(s.changedPercent));
        p.setPen(QPen(QColor(40, 90, 200), 1.5));
        p.drawPath(line);
    }
    const QColor alarmColor(210, 30, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(alarmColor);
    for (const Step& s : m_steps) {
        if (s.alarm)
            p.drawEllipse(QPointF(xOf(static_cast<double>(s.tMs)), yOf(s.changedPercent)), 3, 3);
    }

    // The threshold: a step above it is an alarm.
    p.setPen(QPen(alarmColor, 1.5, Qt::DashLine));
    p.drawLine(QPointF(area.left(), yOf(m_threshold)), QPointF(area.right(), yOf(m_threshold)));

    // Objects found, as a staircase on the right-hand scale.
    const QColor objectColor(20, 140, 60);
    int mostObjects = -1;
    for (const Step& s : m_steps)
        mostObjects = std::max(mostObjects, s.objects);
    if (mostObjects >= 0) {
        const int top = std::max(4, mostObjects + 1);
        const auto yObjects = [&](int n) {
            return area.bottom() - area.height() * n / double(top);
        };
        QPainterPath stairs;
        bool started = false;
        for (const Step& s : m_steps) {
            if (s.objects < 0)
                continue;
            const double x = xOf(static_cast<double>(s.tMs));
            if (!started)
                stairs.moveTo(x, yObjects(s.objects));
            else
                stairs.lineTo(x, stairs.currentPosition().y());
            stairs.lineTo(x, yObjects(s.objects));
            started = true;
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(objectColor, 1.5));
        p.drawPath(stairs);
        for (int n = 0; n <= top; ++n) {
            const QString text = QString::number(n);
            p.drawText(QPointF(area.right() + 6, yObjects(n) + fm.ascent() / 2.0), text);
        }
    }

    // The mask: ignored areas shaded over a frame of the file.
    if (!m_mask.isNull()) {
        const QSize frame = m_maskPicture.isNull() ? m_mask.size() : m_maskPicture.size();
        const QSize inset = frame.scaled(QSize(200, 120), Qt::KeepAspectRatio);
        const QRectF box(area.left() + 8, area.top() + 8, inset.width(), inset.height());
        if (!m_maskPicture.isNull())
            p.drawImage(box, m_maskPicture);
        else
            p.fillRect(box, QColor(230, 230, 230));
        const QImage shade = detection::DetectionMask::shade(m_mask, qRgba(160, 0, 0, 170));
        p.drawImage(box, shade);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        p.drawText(QPointF(box.left(), box.bottom() + fm.height()), QStringLiteral("Маска"));
    }

    // Title and legend above the plot.
    p.setPen(Qt::black);
    p.drawText(QPointF(area.left(), fm.height() + 4), m_title);
    const std::int64_t alarms =
        std::count_if(m_steps.begin(), m_steps.end(), [](const Step& s) { return s.alarm; });
    QStringList legend{
        QStringLiteral("Порог %1%").arg(m_threshold),
        QStringLiteral("Тревога (%1)").arg(alarms),
        QStringLiteral("Событие (%1)").arg(m_events.size()),
    };
    if (mostObjects >= 0)
        legend << QStringLiteral("Объекты (до %1, шкала справа)").arg(mostObjects);
    double x = area.right();
    const double y = fm.height() * 2 + 4;
    for (auto it = legend.rbegin(); it != legend.rend(); ++it) {
        x -= fm.horizontalAdvance(*it) + 40;
        const int index = static_cast<int>(std::distance(legend.rbegin(), it));
        // Counted from the end: the objects' entry, when there is one, is last.
        const int entry = mostObjects >= 0 ? index - 1 : index;
        if (entry < 0) {
            p.setPen(QPen(objectColor, 1.5));
            p.drawLine(QPointF(x, y - fm.ascent() / 2.0), QPointF(x + 24, y - fm.ascent() / 2.0));
        } else if (entry == 0) {
            p.fillRect(QRectF(x, y - fm.ascent(), 24, fm.ascent()), eventColor);
        } else if (entry == 1) {
            p.setPen(Qt::NoPen);
            p.setBrush(alarmColor);
            p.drawEllipse(QPointF(x + 12, y - fm.ascent() / 2.0), 3, 3);
        } else {
            p.setPen(QPen(alarmColor, 1.5, Qt::DashLine));
            p.drawLine(QPointF(x, y - fm.ascent() / 2.0), QPointF(x + 24, y - fm.ascent() / 2.0));
        }
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 30, y), *it);
    }
}

bool ReplayPlot::save(const QString& path, QString& error) const {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const QSize size(1600, 600);
    if (suffix == QLatin1String("svg")) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(m_title);
        QPainter p;
        if (!p.begin(&svg)) {
            error = QStringLiteral("cannot write the plot to ") + path;
            return false;
        }
        paint(p, size);
        if (!p.end() || QFileInfo(path).size() == 0) {
            error = QStringLiteral("cannot write the plot to ") + path;
            return false;
        }
        return true;
    }
    if (suffix != QLatin1String("png")) {
        error = QStringLiteral("the plot is written as PNG or SVG; give a file name ending in "
                               ".png or .svg");
        return false;
    }
    if (!render(size).save(path, "PNG")) {
        error = QStringLiteral("cannot write the plot to ") + path;
        return false;
    }
    return true;
}

} // namespace vigilux::replay
