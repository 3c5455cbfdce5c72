#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

class QWidget;

namespace vigilux::controls {

class InfoTipWindow;
struct InfoTipContent;

// A custom-drawn tip shown near the mouse pointer: optional bold title over
// a separator, a message with lines and tabs, a border and a soft shadow.
// The tip window exists only between show() and hide(); destroying the
// object takes it down. The tip has no timer of its own (timeOut is stored
// only).
class InfoTip final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InfoTip)

public:
    explicit InfoTip(QObject* parent = nullptr);
    ~InfoTip() override;

    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor& c) { m_backColor = c; }
    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor& c) { m_foreColor = c; }
    int borderStyle() const { return m_borderStyle; }
    void setBorderStyle(int style) { m_borderStyle = style; }
    QColor borderColor() const { return m_borderColor; }
    void setBorderColor(const QColor& c) { m_borderColor = c; }
    int padding() const { return m_padding; }
    void setPadding(int padding);
    bool useSystemFont() const { return m_useSystemFont; }
    void setUseSystemFont(bool on) { m_useSystemFont = on; }
    QString fontName() const { return m_fontName; }
    void setFontName(const QString& name) { m_fontName = name; }
    int fontSize() const { return m_fontSize; }
    void setFontSize(int size) { m_fontSize = size; }
    bool fontBold() const { return m_fontBold; }
    void setFontBold(bool on) { m_fontBold = on; }
    bool fontItalic() const { return m_fontItalic; }
    void setFontItalic(bool on) { m_fontItalic = on; }
    bool fontUnderline() const { return m_fontUnderline; }
    void setFontUnderline(bool on) { m_fontUnderline = on; }
    bool fontStrikethrough() const { return m_fontStrikethrough; }
    void setFontStrikethrough(bool on) { m_fontStrikethrough = on; }
    int tabSize() const { return m_tabSize; }
    void setTabSize(int size);
    bool dropShadow() const { return m_dropShadow; }
    void setDropShadow(bool on) { m_dropShadow = on; }
    int timeOut() const { return m_timeOut; }
    void setTimeOut(int ms) { m_timeOut = ms; }
    bool useTimeOut() const { return m_useTimeOut; }
    void setUseTimeOut(bool on) { m_useTimeOut = on; }
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    bool showTitle() const { return m_showTitle; }
    void setShowTitle(bool on) { m_showTitle = on; }
    QColor titleColor() const { return m_titleColor; }
    void setTitleColor(const QColor& c) { m_titleColor = c; }
    int textAlignment() const { return m_textAlignment; }
    void setTextAlignment(int a) { m_textAlignment = a; }
    int titleAlignment() const { return m_titleAlignment; }
    void setTitleAlignment(int a) { m_titleAlignment = a; }
    // Owner of the tip window; it must outlive the shown tip or be the
    // tip's QObject parent.
    void setOwner(QWidget* owner) { m_owner = owner; }
    // The tip window while shown, else null.
    QWidget* window() const;
    static QString version() { return QStringLiteral("1.0.1"); }
    // Title and text of the tip's about box (the caller shows it).
    static QString aboutTitle() { return QStringLiteral("CInfoTip"); }
    static QString aboutText() { return aboutTitle() + QStringLiteral(" v") + version(); }

    // Shows the tip near the pointer; empty arguments fall back to text()
    // and title().
    void show(const QString& message = QString(), const QString& title = QString());
    // Takes the tip down if shown; raises hidden() in every case.
    void hide();

    // The content show() would display for these arguments.
    InfoTipContent contentFor(const QString& message, const QString& title) const;

signals:
    void hidden();

private:
    QColor m_backColor;
    QColor m_foreColor;
    int m_borderStyle = 0;
    QColor m_borderColor;
    int m_padding = 5;
    bool m_useSystemFont = true;
    QString m_fontName = QStringLiteral("Arial");
    int m_fontSize = 8;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    bool m_fontUnderline = false;
    bool m_fontStrikethrough = false;
    int m_tabSize = 8;
    bool m_dropShadow = true;
    int m_timeOut = 2500;
    bool m_useTimeOut = true;
    QString m_text;
    QString m_title;
    bool m_showTitle = false;
    QColor m_titleColor;
    int m_textAlignment = 0;
    int m_titleAlignment = 0;
    QPointer<QWidget> m_owner;
    QPointer<InfoTipWindow> m_window;
};

} // namespace vigilux::controls
