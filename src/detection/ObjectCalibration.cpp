#include "detection/ObjectCalibration.h"

#include <algorithm>

namespace vigilux::detection {

ObjectCalibration::ObjectCalibration(const ObjectDetectorSettings& base, int durationMs)
    : m_base(base)
    , m_durationMs(std::max(durationMs, 2500)) {} // the model's warm-up plus some

bool ObjectCalibration::addFrame(const std::uint8_t* data, qsizetype bytes,
                                 const video::FrameLayout& layout, std::int64_t timeMs) {
    if (m_done || !m_scaler.scale(data, bytes, layout, m_luma))
        return m_done;
    if (m_firstMs < 0)
        m_firstMs = m_lastMs = timeMs;
    const int dt = int(std::clamp<std::int64_t>(timeMs - m_lastMs, 1, 1000));
    m_lastMs = timeMs;
    // Measured with the base settings' learning but without re-learning
    // jumps hidden: a flickering picture must show its full swing.
    ObjectDetectorSettings measuring = m_base;
    measuring.relearnMs = 0;
    const BackgroundModel::Frame frame = m_model.apply(m_luma, dt, measuring, m_foreground);
    if (!frame.warmingUp) {
        if (m_measuredFrames == 0)
            m_minShift = m_maxShift = frame.toneShift;
        m_minShift = std::min(m_minShift, frame.toneShift);
        m_maxShift = std::max(m_maxShift, frame.toneShift);
        const auto changed = std::count(m_foreground.begin(), m_foreground.end(), 255);
        // More than 1 % of the picture outside its learnt noise.
        if (changed * 100 > std::ptrdiff_t(m_foreground.size()))
            ++m_movedFrames;
        ++m_measuredFrames;
    }
    m_done = timeMs - m_firstMs >= m_durationMs;
    return m_done;
}

ObjectCalibration::Result ObjectCalibration::result() const {
    Result r;
    r.settings = m_base;
    r.noiseLevel = m_model.noiseLevel();
    r.flickerLevels = (m_maxShift - m_minShift + 1) / 2;
    r.busyHundredths = m_model.busyHundredths();
    r.sceneMoved = m_measuredFrames > 0 && m_movedFrames * 4 > m_measuredFrames;

    // The floor sits well above the noise of most pixels; busy scenes get a
    // higher factor, flickering ones a faster-learning background.
    r.settings.noiseFloor = std::clamp(3 * r.noiseLevel + 4, 6, 40);
    r.settings.deviationFactor = r.busyHundredths > 300 ? 50 : 40;
    r.settings.learnSeconds = r.flickerLevels > 6 ? 10 : 20;

    r.summary = QStringLiteral("Шум: %1 ед. яркости. Мерцание яркости: ±%2 ед. "
                               "Постоянно движется: %3 % кадра.")
                    .arg(r.noiseLevel)
                    .arg(r.flickerLevels)
                    .arg(QString::number(r.busyHundredths / 100.0, 'f', 1));
    if (r.sceneMoved)
        r.summary += QStringLiteral(" Во время замера в кадре что-то двигалось: "
                                    "повторите замер, когда сцена пуста.");
    r.summary += QStringLiteral("\nПорог шума: %1, чувствительность: %2, обучение фона: %3 с.")
                     .arg(r.settings.noiseFloor)
                     .arg(QString::number(r.settings.deviationFactor / 10.0, 'f', 1))
                     .arg(r.settings.learnSeconds);
    return r;
}

} // namespace vigilux::detection
