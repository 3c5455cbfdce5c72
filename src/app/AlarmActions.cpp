#include "app/AlarmActions.h"

#include "core/Settings.h"

namespace vigilux::app {

AlarmActions AlarmActions::forStep(const core::Settings& s, bool startsEvent, bool muted,
                                   bool inTray) {
    AlarmActions a;
    if (muted)
        return a;
    a.sound = s.soundOnAlarm && (!s.soundPerEvent || startsEvent);
    a.balloon = s.balloonOnAlarm && inTray && (!s.balloonPerEvent || startsEvent);
    a.program = s.runOnAlarm && (!s.programPerEvent || startsEvent);
    return a;
}

QString AlarmActions::eventBalloonText(int number, int changedPercent) {
    const QString crLf = QStringLiteral("\r\n");
    return QStringLiteral("Программа обнаружила движение в наблюдаемой области. ") + crLf +
           QStringLiteral("Событие № ") + QString::number(number) +
           QStringLiteral(" с начала наблюдения") + crLf +
           QStringLiteral("Расхождение с предыдущим кадром: ") + QString::number(changedPercent) +
           QLatin1Char('%');
}

QString AlarmActions::trayTip(bool watching, int events, const QString& muteUntil) {
    if (events <= 0 && muteUntil.isEmpty())
        return watching ? QStringLiteral("Vigilux [>] включена автосъемка.")
                        : QStringLiteral("Vigilux");
    QString tip = watching ? QStringLiteral("Vigilux [>] событий: ") + QString::number(events)
                           : QStringLiteral("Vigilux");
    if (!muteUntil.isEmpty())
        tip +=
            (watching ? QStringLiteral(", без оповещений ") : QStringLiteral(": без оповещений ")) +
            muteUntil;
    return tip;
}

} // namespace vigilux::app
