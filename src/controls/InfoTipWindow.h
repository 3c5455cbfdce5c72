#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

namespace vigilux::controls {

// What an info tip shows and how, resolved from InfoTip's properties.
struct InfoTipContent {
    QString message; // tabs already expanded
    QString title;   // tabs already removed
    bool showTitle = false;
    QColor backColor;
    QColor foreColor;
    QColor titleColor;
    QColor borderColor;
    int borderStyle = 0; // 0 raised 3D edge, 1 one-pixel rectangle
    int padding = 5;
    QFont font;
    int textAlignment = 0; // 0 left, 1 centred, 2 right
    int titleAlignment = 0;
    bool dropShadow = true;
};

// The face of an info tip: border, optional bold title over a separator,
// the message, and a soft shadow band on the right and bottom. InfoTip
// shows it as a borderless top-level window; the controls gallery embeds it.
// The shadow is painted as translucent black, which darkens whatever lies
// beneath exactly as darkening each channel by c * alpha / 255 would.
class InfoTipWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InfoTipWindow)

public:
    static constexpr int ShadowDepth = 4;

    explicit InfoTipWindow(QWidget* parent = nullptr);
    ~InfoTipWindow() override;

    void setContent(const InfoTipContent& content);
    const InfoTipContent& content() const { return m_content; }

    // Size of the face alone, without the shadow band.
    static QSize faceSize(const InfoTipContent& content);
    // Face plus shadow band when the shadow is on.
    static QSize windowSize(const InfoTipContent& content);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    InfoTipContent m_content;
};

} // namespace vigilux::controls
