#include "ui/ObjectDetectorWindow.h"

#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "detection/DetectionMask.h"
#include "platform/Clock.h"
#include "platform/WindowTools.h"
#include "ui/MaskEditor.h"
#include "ui/SettingBinding.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace vigilux::ui {

namespace {

using Binding = SettingBinding<core::Settings>;

QSpinBox* boundNumber(QWidget* parent, const char* key, const QString& suffix) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(key));
    Binding::bind(box, QString::fromLatin1(key));
    box->setSuffix(suffix);
    return box;
}

} // namespace

ObjectDetectorWindow::ObjectDetectorWindow(AppContext& context, core::SettingsStorage& options,
                                           std::function<QImage()> latestFrame,
                                           pipeline::WatchPipeline::AlarmArea lastAlarm,
                                           QWidget* parent)
    : QDialog(parent)
    , m_context(context)
    , m_options(options)
    , m_latestFrame(std::move(latestFrame))
    , m_lastAlarm(std::move(lastAlarm)) {
    setObjectName(QStringLiteral("objectDetectorWindow"));
    setWindowTitle(QStringLiteral("Поиск объектов"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Порог отличия от фона (меньше — чувствительнее):"),
                 boundNumber(this, "Sensitivity", QString()));
    form->addRow(QStringLiteral("Порог шума камеры:"),
                 boundNumber(this, "NoiseFloor", QStringLiteral(" ед. яркости")));
    // Stored in hundredths of a percent; shown in percent.
    m_minObject = new QDoubleSpinBox(this);
    m_minObject->setObjectName(QStringLiteral("MinObject"));
    m_minObject->setRange(0.05, 20.0);
    m_minObject->setSingleStep(0.05);
    m_minObject->setDecimals(2);
    m_minObject->setSuffix(QStringLiteral(" % кадра"));
    m_minObject->setValue(m_context.settings.objectMinSize / 100.0);
    form->addRow(QStringLiteral("Наименьший объект:"), m_minObject);
    form->addRow(QStringLiteral("Объект виден не меньше:"),
                 boundNumber(this, "Persistence", QStringLiteral(" мс")));
    form->addRow(QStringLiteral("Фон обучается за:"),
                 boundNumber(this, "LearnSeconds", QStringLiteral(" с")));

    auto* personOnly = new QCheckBox(QStringLiteral("только люди"), this);
    personOnly->setObjectName(QStringLiteral("PersonOnly"));
    personOnly->setToolTip(QStringLiteral(
        "Событие начинается, только когда объект распознан как человек (больше нагрузка)"));
    Binding::bind(personOnly, QStringLiteral("PersonOnly"));
    auto* boxes = new QCheckBox(QStringLiteral("Рисовать рамки объектов на снимках"), this);
    boxes->setObjectName(QStringLiteral("DrawBoxes"));
    Binding::bind(boxes, QStringLiteral("DrawBoxes"));
    Binding::fill(this, m_context.settings);

    m_maskEditor = new MaskEditor(this);
    const QString maskFile = pipeline::WatchPipeline::maskFile(m_context);
    m_maskEditor->setMask(QFile::exists(maskFile) ? QImage(maskFile) : QImage());
    connect(m_maskEditor, &MaskEditor::maskChanged, this, [this] { m_maskEdited = true; });

    auto* clearMask = new QPushButton(QStringLiteral("Очистить маску"), this);
    clearMask->setObjectName(QStringLiteral("clearMask"));
    connect(clearMask, &QPushButton::clicked, this, [this] {
        m_maskEditor->setMask(QImage());
        m_maskEdited = true;
    });
    m_ignoreLastAlarm =
        new QPushButton(QStringLiteral("Не следить за местом последней тревоги"), this);
    m_ignoreLastAlarm->setEnabled(!m_lastAlarm.boxes.isEmpty());
    connect(m_ignoreLastAlarm, &QPushButton::clicked, this, &ObjectDetectorWindow::ignoreLastAlarm);
    m_calibrate = new QPushButton(QStringLiteral("Калибровка"), this);
    connect(m_calibrate, &QPushButton::clicked, this, &ObjectDetectorWindow::startCalibration);
    auto* maskButtons = new QHBoxLayout;
    maskButtons->addWidget(clearMask);
    maskButtons->addWidget(m_ignoreLastAlarm);
    maskButtons->addStretch();
    maskButtons->addWidget(m_calibrate);

    m_calibrationText = new QLabel(this);
    m_calibrationText->setObjectName(QStringLiteral("calibrationText"));
    m_calibrationText->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(personOnly);
    layout->addWidget(boxes);
    layout->addWidget(new QLabel(QStringLiteral("Маска: левая кнопка мыши закрашивает места, за "
                                                "которыми не следить, правая возвращает их."),
                                 this));
    layout->addWidget(m_maskEditor, 1);
    layout->addLayout(maskButtons);
    layout->addWidget(m_calibrationText);
    layout->addWidget(buttons);

    m_pictureTimer.setInterval(kPictureRefreshMs);
    connect(&m_pictureTimer, &QTimer::timeout, this, &ObjectDetectorWindow::refreshPicture);
    m_pictureTimer.start();
    m_calibrationTimer.setInterval(kCalibrationFrameMs);
    connect(&m_calibrationTimer, &QTimer::timeout, this, &ObjectDetectorWindow::onCalibrationTick);
    refreshPicture();

    if (!m_context.inTray)
        platform::makeTopmost(*this);
}

ObjectDetectorWindow::~ObjectDetectorWindow() = default;

void ObjectDetectorWindow::refreshPicture() {
    if (!m_latestFrame)
        return;
    const QImage picture = m_latestFrame();
    if (!picture.isNull())
        m_maskEditor->setPicture(picture);
}

void ObjectDetectorWindow::ignoreLastAlarm() {
    QImage mask = m_maskEditor->mask();
    for (const QRect& box : m_lastAlarm.boxes)
        mask = detection::DetectionMask::withIgnoredArea(mask, m_lastAlarm.frameSize, box);
    m_maskEditor->setMask(mask);
    m_maskEdited = true;
}

void ObjectDetectorWindow::startCalibration() {
    detection::ObjectDetectorSettings base;
    base.learnSeconds = m_context.settings.objectLearnSeconds;
    m_calibration = std::make_unique<detection::ObjectCalibration>(base);
    m_calibrate->setEnabled(false);
    m_calibrationText->setText(
        QStringLiteral("Калибровка: несколько секунд ничего не должно двигаться в кадре…"));
    m_calibrationTimer.start();
}

void ObjectDetectorWindow::onCalibrationTick() {
    if (!m_calibration || !m_latestFrame)
        return;
    const QImage picture = m_latestFrame().convertToFormat(QImage::Format_RGB888);
    if (picture.isNull())
        return;
    const video::FrameLayout layout = video::FrameLayout::rgb24(picture.size());
    m_frameBytes.resize(static_cast<std::size_t>(layout.bytes));
    if (!layout.pack({picture.constBits(), nullptr, nullptr},
                     {static_cast<int>(picture.bytesPerLine()), 0, 0}, m_frameBytes.data()))
        return;
    const auto ms = static_cast<std::int64_t>(m_context.clock.steadyMs());
    if (!m_calibration->addFrame(m_frameBytes.data(), layout.bytes, layout, ms))
        return;
    m_calibrationTimer.stop();
    const auto result = m_calibration->result();
    m_calibration.reset();
    m_calibrate->setEnabled(true);
    showProposal(result);
}

void ObjectDetectorWindow::showProposal(const detection::ObjectCalibration::Result& result) {
    // The proposal goes into the editors; OK keeps it.
    const auto set = [this](const char* key, int value) {
        if (auto* box = findChild<QSpinBox*>(QString::fromLatin1(key)))
            box->setValue(value);
    };
    set("Sensitivity", result.settings.deviationFactor);
    set("NoiseFloor", result.settings.noiseFloor);
    set("Persistence", result.settings.persistenceMs);
    m_minObject->setValue(result.settings.minObjectHundredths / 100.0);
    m_calibrationText->setText(result.summary);
}

bool ObjectDetectorWindow::storeMask() {
    if (!m_maskEdited)
        return true;
    const QString path = pipeline::WatchPipeline::maskFile(m_context);
    const QImage mask = m_maskEditor->mask();
    if (detection::DetectionMask::ignoresNothing(mask))
        return !QFile::exists(path) || QFile::remove(path);
    // Whole or not at all: a torn mask would blind the detector somewhere.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           mask.convertToFormat(QImage::Format_Grayscale8).save(&file, "PNG") && file.commit();
}

void ObjectDetectorWindow::accept() {
    m_calibrationTimer.stop();
    Binding::copy(this, m_context.settings);
    m_context.settings.objectMinSize = static_cast<qint32>(std::lround(m_minObject->value() * 100));
    if (!storeMask()) {
        m_calibrationText->setText(
            QStringLiteral("Не удалось сохранить маску: ") +
            QDir::toNativeSeparators(pipeline::WatchPipeline::maskFile(m_context)));
        return;
    }
    m_options.saveDetectorValues();
    QDialog::accept();
}

} // namespace vigilux::ui
