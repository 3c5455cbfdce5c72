#include "ui/BlackPictureNotice.h"

#include "platform/UrlOpener.h"

#include <QLabel>
#include <QUrl>

#include <algorithm>

namespace vigilux::ui {

const QString BlackPictureNotice::HelpUrl = QStringLiteral("http://www.vigilux.ru/blackwebcam");

BlackPictureNotice::BlackPictureNotice(platform::UrlOpener& urls, QWidget* parent)
    : QWidget(parent)
    , m_urls(urls) {
    setObjectName(QStringLiteral("blackPicture"));
    setAutoFillBackground(true);
    auto* question = new QLabel(QStringLiteral("Вы что-нибудь видите?"), this);
    question->setObjectName(QStringLiteral("question"));
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);
    auto* helpLink = new QLabel(QStringLiteral("<a href=\"help\">Изображения нет. Только черный "
                                               "прямоугольник</a>"),
                                this);
    helpLink->setObjectName(QStringLiteral("helpLink"));
    connect(helpLink, &QLabel::linkActivated, this, [this] { m_urls.open(QUrl(HelpUrl)); });
    auto* darkLink =
        new QLabel(QStringLiteral("<a href=\"ok\">Все нормально, просто сейчас темно</a>"), this);
    darkLink->setObjectName(QStringLiteral("darkLink"));
    connect(darkLink, &QLabel::linkActivated, this, &QWidget::hide);
    // The lines wrap rather than lose their ends in a narrow picture; the
    // notice grows to hold them.
    constexpr int NoticeWidth = 300;
    constexpr int Pad = 10;
    int y = 8;
    for (QLabel* line : {question, helpLink, darkLink}) {
        line->setWordWrap(true);
        const int height = std::max(20, line->heightForWidth(NoticeWidth - 2 * Pad));
        line->setGeometry(Pad, y, NoticeWidth - 2 * Pad, height);
        y += height + 6;
    }
    setGeometry(30, 110, NoticeWidth, y + 2);
    hide();
}

} // namespace vigilux::ui
