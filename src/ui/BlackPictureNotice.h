#pragma once

#include <QWidget>

namespace vigilux::platform {
class UrlOpener;
}

namespace vigilux::ui {

// The notice over a picture that stays black: "Вы что-нибудь видите?", a
// link to the help page and a link that only closes the notice.
class BlackPictureNotice final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BlackPictureNotice)
public:
    // The help page for black pictures.
    static const QString HelpUrl;

    // `urls` opens the help page; it must outlive the notice.
    BlackPictureNotice(platform::UrlOpener& urls, QWidget* parent);

private:
    platform::UrlOpener& m_urls;
};

} // namespace vigilux::ui
