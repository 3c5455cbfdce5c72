#include "ui/AlarmOptionsPage.h"

#include "controls/CheckBox.h"
#include "core/AppContext.h"
#include "platform/Dialogs.h"

#include <QVBoxLayout>

namespace vigilux::ui {

namespace {

using Icon = platform::Dialogs::Icon;

} // namespace

AlarmOptionsPage::AlarmOptionsPage(AppContext& context, QWidget* parent)
    : ProgramOptionsPage(context, QStringLiteral("Детектор"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(checkRow(
        10, QStringLiteral("SaveAlarm"), QStringLiteral("сохранять снимки при движении в кадре"),
        [this](bool on) {
            if (on)
                return;
            m_context.dialogs.message(Icon::Information, QStringLiteral("Внимание!"),
                                      QStringLiteral("Учтите, что при отключении этой опции, "
                                                     "программа не сможет закачивать "
                                                     "изображения на FTP в режиме автосъемки."));
        }));
    layout->addWidget(checkRow(11, QStringLiteral("SoundAlarm"),
                               QStringLiteral("звук тревоги при движении в кадре"),
                               [this](bool on) { m_soundPath.setEnabled(on); }));
    m_soundPath = pathRow(3, QStringLiteral("SoundAlarmPath"), 340, [this] {
        return m_pickers.openFile(QStringLiteral("Открыть"), QStringLiteral("Звуки (wav)|*.wav"),
                                  QStringLiteral("*.wav"));
    });
    layout->addWidget(m_soundPath.row);
    layout->addWidget(checkRow(12, QStringLiteral("RunAlarm"),
                               QStringLiteral("запустить программу при движении в кадре"),
                               [this](bool on) {
                                   m_programPath.setEnabled(on);
                                   m_wait->setEnabled(on);
                               }));
    m_programPath =
        pathRow(4, QStringLiteral("RunAlarmPath"), 340, [this] { return pickProgram(); });
    layout->addWidget(m_programPath.row);
    QWidget* wait = checkRow(14, QStringLiteral("RunAlarmWait"),
                             QStringLiteral("и дождаться завершения ее работы"), {}, &m_wait);
    wait->layout()->setContentsMargins(20, 0, 0, 0);
    layout->addWidget(wait);
    layout->addWidget(checkRow(13, QStringLiteral("SysTrayAlarm"),
                               QStringLiteral("оповестить сообщением из системного трея")));
    layout->addStretch(1);
}

QString AlarmOptionsPage::pickProgram() {
    const QString chosen =
        m_pickers.openFile(QStringLiteral("Открыть"), alarmProgramFilter(), QStringLiteral("*.*"));
    if (!chosen.isEmpty() && chosen == m_ownExecutable) {
        m_context.dialogs.message(Icon::Error, QStringLiteral("Защита от дурака"),
                                  QStringLiteral("Я не знаю, на что ты рассчитываешь, но "
                                                 "программа не будет запускать сама себя."));
        return QString();
    }
    return chosen;
}

QString AlarmOptionsPage::alarmProgramFilter() {
#ifdef Q_OS_WIN
    return QStringLiteral("Программы (.exe)|*.exe|Пакетные файлы (.bat)|*.bat|"
                          "Пакетные файлы (.cmd)|*.cmd");
#else
    // Programs here rarely carry an extension: scripts by their usual one,
    // anything else (executables) among all files.
    return QStringLiteral("Сценарии (.sh)|*.sh|Все файлы|*");
#endif
}

} // namespace vigilux::ui
