#include "ui/InterfaceOptionsPage.h"

#include <QVBoxLayout>

namespace vigilux::ui {

InterfaceOptionsPage::InterfaceOptionsPage(AppContext& context, QWidget* parent)
    : ProgramOptionsPage(context, QStringLiteral("Интерфейс"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(
        checkRow(0, QStringLiteral("MinStart"), QStringLiteral("запускать в свернутом режиме")));
    layout->addWidget(checkRow(1, QStringLiteral("AutoStart"),
                               QStringLiteral("включить автосъемку после запуска")));
    layout->addWidget(checkRow(2, QStringLiteral("Sound"),
                               QStringLiteral("звук при сохранении кадра"),
                               [this](bool on) { m_soundPath.setEnabled(on); }));
    m_soundPath = pathRow(0, QStringLiteral("SoundPath"), 340, [this] {
        return m_pickers.openFile(QStringLiteral("Открыть"), QStringLiteral("Звуки (wav)|*.wav"),
                                  QStringLiteral("*.wav"));
    });
    layout->addWidget(m_soundPath.row);
    layout->addWidget(
        checkRow(3, QStringLiteral("BlockSSaver"), QStringLiteral("блокировать хранитель экрана")));
    layout->addWidget(checkRow(15, QStringLiteral("AutoCheckUpdates"),
                               QStringLiteral("автоматически проверять обновления")));
    layout->addStretch(1);
}

} // namespace vigilux::ui
