#include "ui/NotificationWiring.h"

#include "app/QuietTime.h"
#include "pipeline/WatchPipeline.h"
#include "ui/NotifySettingsPage.h"
#include "ui/ProgramOptionsWindow.h"

#include <utility>

namespace vigilux::ui {

NotificationWiring::NotificationWiring(AppContext& context, core::StatusSink status,
                                       QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_notify(context, std::move(status)) {}

void NotificationWiring::follow(pipeline::WatchPipeline& watch, const app::QuietTime& quiet) {
    connect(&watch, &pipeline::WatchPipeline::clipSaved, &m_notify,
            &notify::Notifications::clipFinished);
    m_notify.follow(watch.tracker(), [&quiet] { return quiet.isMuted(); });
}

void NotificationWiring::addPageTo(ui::ProgramOptionsWindow& window) {
    core::NotifyOptions* options = m_notify.options();
    if (options == nullptr)
        return;
    window.addPage(
        new NotifySettingsPage(m_context, *options, [this](notify::NotifyChannel channel) {
            return m_notify.lastError(channel);
        }));
}

} // namespace vigilux::ui
