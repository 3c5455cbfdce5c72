#include "ui/FilesOptionsPage.h"

#include "core/AppContext.h"
#include "platform/Dialogs.h"
#include "resources/Pictures.h"
#include "ui/ProgramOptionsRules.h"
#include "ui/SettingBinding.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QVBoxLayout>

namespace vigilux::ui {

FilesOptionsPage::FilesOptionsPage(AppContext& context, QWidget* parent)
    : ProgramOptionsPage(context, QStringLiteral("Файлы"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("папка для сохранения снимков"), this));
    layout->addWidget(pathRow(1, QStringLiteral("SavePath"), 340, [this] {
                          return m_pickers.browseFolder(window(),
                                                        QStringLiteral("Выберите каталог"));
                      }).row);
    layout->addWidget(checkRow(4, QStringLiteral("CreateSubFolders"),
                               QStringLiteral("создавать подкаталоги по дате снимка")));
    layout->addWidget(checkRow(5, QStringLiteral("StaticFile"),
                               QStringLiteral("постоянное имя файла (иначе имя=время)"),
                               [this](bool on) { m_fileName.setEnabled(on); }));
    // The fixed file name is typed, not picked.
    m_fileName = pathRow(2, QStringLiteral("StaticFilePath"), 150, {});
    layout->addWidget(m_fileName.row);

    // "не более" [count] "снимков в одной папке", the count set with a
    // small vertical scroll bar.
    QWidget* limit = checkRow(6, QStringLiteral("MaxFiles"), QStringLiteral("не более"));
    auto* limitLayout = static_cast<QHBoxLayout*>(limit->layout());
    delete limitLayout->takeAt(limitLayout->count() - 1); // the stretch goes last again
    m_limitLabel = new QLabel(QStringLiteral("1000"), limit);
    m_limitLabel->setObjectName(QStringLiteral("Label2"));
    m_limitLabel->setMinimumWidth(40);
    m_limitLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_limitScroll = new QScrollBar(Qt::Vertical, limit);
    m_limitScroll->setObjectName(QStringLiteral("VScroll1"));
    SettingBinding<core::Settings>::bind(m_limitScroll, QStringLiteral("MaxFilesCount"));
    m_limitScroll->setFixedSize(17, 30);
    connect(m_limitScroll, &QScrollBar::valueChanged, this, &FilesOptionsPage::onLimitScrolled);
    m_infoIcon = new QLabel(limit);
    m_infoIcon->setObjectName(QStringLiteral("PicInfotip"));
    m_infoIcon->setPixmap(
        QPixmap::fromImage(resources::Pictures::image(QStringLiteral("help"), QSize(16, 16))));
    m_infoIcon->setToolTip(QStringLiteral("Что это за настройка?"));
    m_infoIcon->setCursor(Qt::PointingHandCursor);
    m_infoIcon->installEventFilter(this);
    limitLayout->addWidget(m_limitLabel);
    limitLayout->addWidget(m_limitScroll);
    limitLayout->addWidget(new QLabel(QStringLiteral("снимков в одной папке"), limit));
    limitLayout->addWidget(m_infoIcon);
    limitLayout->addStretch(1);
    layout->addWidget(limit);
    layout->addStretch(1);
}

void FilesOptionsPage::afterFill() {
    // The label follows the scroll bar, which says nothing when its value
    // stays.
    onLimitScrolled(m_limitScroll->value());
}

void FilesOptionsPage::onLimitScrolled(int value) {
    m_limitLabel->setText(QString::number(value));
    m_limitScroll->setSingleStep(ProgramOptionsRules::maxFilesStep(value));
}

bool FilesOptionsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_infoIcon && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        onInfoClicked();
        return true;
    }
    return ProgramOptionsPage::eventFilter(watched, event);
}

void FilesOptionsPage::onInfoClicked() {
    const QStringList lines{
        QStringLiteral("Внимание!"),
        QString(),
        QStringLiteral("Будьте осторожны при использовании этой функции."),
        QStringLiteral("В целях ускорения работы с большим количеством файлов,"),
        QStringLiteral("программа не анализирует их имена и расширения, а просто"),
        QStringLiteral("удаляет лишние файлы, находящиеся вверху списка."),
        QString(),
        QStringLiteral("Перед началом работы настоятельно рекомендуется"),
        QStringLiteral("очистить каталог сохранения снимков, если там находятся"),
        QStringLiteral("предыдущие снимки."),
    };
    m_context.dialogs.message(platform::Dialogs::Icon::Information, QStringLiteral("Внимание!"),
                              lines.join(QStringLiteral("\r\n")));
}

} // namespace vigilux::ui
