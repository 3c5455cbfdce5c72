#include "app/NotificationWiring.h"

#include "app/NotifySettingsPage.h"
#include "app/QuietTime.h"
#include "capture/CaptureControl.h"
#include "settings/ProgramOptionsWindow.h"

#include <utility>

namespace vigilux::app {

NotificationWiring::NotificationWiring(AppContext& context,
                                       std::function<void(const QString&)> status, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_notify(context, std::move(status)) {}

void NotificationWiring::follow(capture::CaptureControl& control, const QuietTime& quiet) {
    connect(&control, &capture::CaptureControl::clipSaved, &m_notify, &Notifications::clipFinished);
    m_notify.follow(control.events().tracker(), [&quiet] { return quiet.isMuted(); });
}

void NotificationWiring::addPageTo(settings::ProgramOptionsWindow& window) {
    settings::NotifyOptions* options = m_notify.options();
    if (options == nullptr)
        return;
    window.addPage(new NotifySettingsPage(m_context, *options, [this](net::NotifyChannel channel) {
        return m_notify.lastError(channel);
    }));
}

} // namespace vigilux::app
