#include "controls/gallery/Gallery.h"

#include "controls/CheckBox.h"
#include "controls/InfoTip.h"
#include "controls/InfoTipWindow.h"
#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "controls/SizeGrip.h"
#include "controls/Slider.h"
#include "controls/TitleBarButton.h"
#include "resources/Pictures.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vigilux::controls::gallery {

namespace {

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.1);
    label->setFont(f);
    return label;
}

QLabel* small(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: rgb(90, 90, 90);"));
    return label;
}

// A 32 x 32 camera bitmap without alpha: magenta is its mask colour.
QPixmap cameraBitmap() {
    return QPixmap::fromImage(resources::Pictures::bitmap(QStringLiteral("gallery/camera")));
}

QFrame* panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setAutoFillBackground(true);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, QColor(245, 245, 245));
    frame->setPalette(pal);
    return frame;
}

QWidget* sliders(QWidget* parent) {
    auto* box = panel(parent);
    auto* grid = new QGridLayout(box);
    const auto add = [&](int row, const QString& what, int min, int max, int step, int value,
                         bool enabled) {
        grid->addWidget(small(what, box), row, 0);
        auto* s = new Slider(box);
        s->setObjectName(QStringLiteral("slider%1").arg(row));
        s->setMin(min);
        s->setMax(max);
        s->setStep(step);
        s->setValue(value);
        s->setEnabled(enabled);
        s->setMinimumWidth(220);
        grid->addWidget(s, row, 1);
    };
    add(0, QStringLiteral("0..100, step 1"), 0, 100, 1, 40, true);
    add(1, QStringLiteral("100..5000, step 100"), 100, 5000, 100, 2500, true);
    add(2, QStringLiteral("disabled"), 0, 100, 5, 75, false);
    return box;
}

QWidget* checks(QWidget* parent) {
    auto* box = panel(parent);
    auto* grid = new QGridLayout(box);
    const QString values[] = {QStringLiteral("unticked"), QStringLiteral("greyed"),
                              QStringLiteral("ticked")};
    const QString looks[] = {QStringLiteral("idle"), QStringLiteral("mouse over"),
                             QStringLiteral("pushed"), QStringLiteral("disabled")};
    for (int v = 0; v < 3; ++v)
        grid->addWidget(small(values[v], box), 0, v + 1, Qt::AlignCenter);
    for (int l = 0; l < 4; ++l) {
        grid->addWidget(small(looks[l], box), l + 1, 0);
        for (int v = 0; v < 3; ++v) {
            auto* c = new CheckBox(box);
            c->setObjectName(QStringLiteral("checkBox%1").arg(l * 3 + v));
            c->setCheckState(static_cast<Qt::CheckState>(v));
            if (l == 3)
                c->setEnabled(false);
            else
                c->showLook(static_cast<CheckBox::Look>(l));
            grid->addWidget(c, l + 1, v + 1, Qt::AlignCenter);
        }
    }
    return box;
}

QWidget* toolbar(QWidget* parent) {
    auto* box = panel(parent);
    auto* grid = new QGridLayout(box);
    const QString looks[] = {QStringLiteral("normal"), QStringLiteral("hover"),
                             QStringLiteral("pressed")};
    const QString kinds[] = {QStringLiteral("close"), QStringLiteral("to tray"),
                             QStringLiteral("maximize"), QStringLiteral("restore")};
    for (int l = 0; l < 3; ++l)
        grid->addWidget(small(looks[l], box), 0, l + 1, Qt::AlignCenter);
    for (int k = 0; k < 4; ++k) {
        grid->addWidget(small(kinds[k], box), k + 1, 0);
        for (int l = 0; l < 3; ++l) {
            auto* b = new TitleBarButton(static_cast<TitleBarButton::Kind>(std::min(k, 2)), box);
            b->setObjectName(QStringLiteral("titleBarButton%1_%2").arg(k).arg(l));
            b->setRestoreGlyph(k == 3);
            b->showLook(static_cast<TitleBarButton::Look>(l));
            grid->addWidget(b, k + 1, l + 1, Qt::AlignCenter);
        }
    }
    return box;
}

QWidget* buttons(QWidget* parent) {
    auto* box = panel(parent);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    const QString states[] = {QStringLiteral("normal"), QStringLiteral("hover"),
                              QStringLiteral("pressed"), QStringLiteral("focused"),
                              QStringLiteral("disabled")};
    const QString styles[] = {QStringLiteral("style 0 raised"), QStringLiteral("style 1 flat"),
                              QStringLiteral("style 2 flat"), QStringLiteral("style 3 rounded")};
    for (int s = 0; s < 5; ++s)
        grid->addWidget(small(states[s], box), 0, s + 1, Qt::AlignCenter);
    int index = 0;
    for (int style = 0; style < 4; ++style) {
        grid->addWidget(small(styles[style], box), style + 1, 0);
        for (int s = 0; s < 5; ++s) {
            auto* b = new PushButton(QStringLiteral("&Отмена"), box);
            b->setObjectName(QStringLiteral("button%1").arg(index++));
            b->setButtonStyle(style);
            b->setFixedSize(88, 26);
            // Real focus would wander onto the first button; the focused
            // column shows the look instead.
            b->setFocusPolicy(Qt::NoFocus);
            if (s == 4)
                b->setEnabledCtrl(false);
            else
                b->forceState(s == 1, s == 2, s == 3);
            grid->addWidget(b, style + 1, s + 1);
        }
    }
    // Pictures in the four positions, a literal ampersand, a disabled picture.
    const QPixmap camera = cameraBitmap();
    const QString positions[] = {QStringLiteral("above"), QStringLiteral("left"),
                                 QStringLiteral("right"), QStringLiteral("below")};
    grid->addWidget(small(QStringLiteral("pictures"), box), 5, 0);
    auto* row = new QHBoxLayout;
    for (int pos = 0; pos < 4; ++pos) {
        auto* b = new PushButton(QStringLiteral("Снимок %1").arg(positions[pos]), box);
        b->setObjectName(QStringLiteral("button%1").arg(index++));
        b->setButtonStyle(3);
        b->setPicture(camera);
        b->setPictureWidth(24);
        b->setPictureHeight(24);
        b->setPicturePosition(pos);
        const bool vertical = pos == 0 || pos == 3;
        b->setFixedSize(vertical ? 112 : 132, vertical ? 58 : 34);
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
    }
    auto* amp = new PushButton(QStringLiteral("FTP && SMS"), box);
    amp->setObjectName(QStringLiteral("button%1").arg(index++));
    amp->setButtonStyle(0);
    amp->setFixedSize(96, 34);
    amp->setFocusPolicy(Qt::NoFocus);
    row->addWidget(amp);
    auto* off = new PushButton(QStringLiteral("&Камера"), box);
    off->setObjectName(QStringLiteral("button%1").arg(index++));
    off->setButtonStyle(0);
    off->setPicture(camera);
    off->setPictureWidth(24);
    off->setPictureHeight(24);
    off->setFixedSize(112, 34);
    off->setEnabledCtrl(false);
    row->addWidget(off);
    row->addStretch();
    grid->addLayout(row, 5, 1, 1, 5);
    return box;
}

QWidget* tips(QWidget* parent) {
    auto* box = panel(parent);
    auto* layout = new QHBoxLayout(box);
    InfoTip titled;
    titled.setShowTitle(true);
    titled.setTitle(QStringLiteral("Порог срабатывания"));
    titled.setText(QStringLiteral("Доля изменившихся точек кадра,\nпри которой "
                                  "поднимается тревога.\n\tпо умолчанию:\t15 %"));
    auto* a = new InfoTipWindow(box);
    a->setObjectName(QStringLiteral("infoTip0"));
    a->setContent(titled.contentFor(QString(), QString()));
    a->setMinimumSize(a->size());

    InfoTip plain;
    plain.setBorderStyle(1);
    plain.setTextAlignment(1);
    plain.setDropShadow(false);
    auto* b = new InfoTipWindow(box);
    b->setObjectName(QStringLiteral("infoTip1"));
    b->setContent(
        plain.contentFor(QStringLiteral("Border style 1, centred,\nno shadow"), QString()));
    b->setMinimumSize(b->size());

    InfoTip custom;
    custom.setShowTitle(true);
    custom.setTitleAlignment(2);
    custom.setBackColor(QColor(236, 244, 255));
    custom.setTitleColor(QColor(30, 70, 140));
    custom.setBorderStyle(1);
    custom.setBorderColor(QColor(98, 140, 196));
    auto* c = new InfoTipWindow(box);
    c->setObjectName(QStringLiteral("infoTip2"));
    c->setContent(custom.contentFor(QStringLiteral("Own colours, title on the right"),
                                    QStringLiteral("Title")));
    c->setMinimumSize(c->size());

    layout->addWidget(a, 0, Qt::AlignTop);
    layout->addWidget(b, 0, Qt::AlignTop);
    layout->addWidget(c, 0, Qt::AlignTop);
    layout->addStretch();
    return box;
}

QWidget* labelsAndGrips(QWidget* parent) {
    auto* box = panel(parent);
    auto* layout = new QHBoxLayout(box);
    const struct {
        const char* text;
        QColor panel;
        QColor ink;
    } looks[] = {
        {"Движение: 3 %", QColor(210, 232, 210), QColor(20, 80, 20)},
        {"Тревога: 12", QColor(235, 80, 70), QColor(255, 255, 255)},
        {"Кадров/с: 25", QColor(255, 255, 255), QColor(40, 40, 40)},
    };
    int index = 0;
    for (const auto& look : looks) {
        auto* l = new OverlayLabel(box);
        l->setObjectName(QStringLiteral("overlayLabel%1").arg(index++));
        l->setText(QString::fromUtf8(look.text));
        l->setPanelColor(look.panel);
        l->setTextColor(look.ink);
        l->setFixedSize(110, 24);
        layout->addWidget(l, 0, Qt::AlignTop);
    }
    layout->addSpacing(16);
    for (int shape = 2; shape >= 1; --shape) {
        auto* window = new QFrame(box);
        window->setFrameShape(QFrame::Box);
        window->setFixedSize(90, 56);
        window->setAutoFillBackground(true);
        QPalette pal = window->palette();
        pal.setColor(QPalette::Window, QColor(234, 234, 234));
        window->setPalette(pal);
        auto* caption = small(
            shape == 2 ? QStringLiteral("grip: classic") : QStringLiteral("grip: dots"), window);
        caption->move(6, 4);
        auto* grip = new SizeGrip(window);
        grip->setObjectName(QStringLiteral("sizeGrip%1").arg(shape));
        if (shape == 1) {
            grip->setGripShape(1);
            grip->setXOffset(40);
            grip->setYOffset(40);
            grip->setRadius(15);
            grip->setShadowOffset(17);
        }
        layout->addWidget(window, 0, Qt::AlignTop);
    }
    layout->addStretch();
    return box;
}

} // namespace

Gallery::Gallery(QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(QStringLiteral("Vigilux controls gallery"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(234, 234, 234));
    setPalette(pal);

    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(heading(QStringLiteral("Slider"), this));
    left->addWidget(sliders(this));
    left->addWidget(heading(QStringLiteral("Title-bar buttons"), this));
    left->addWidget(toolbar(this));
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(heading(QStringLiteral("Check box"), this));
    right->addWidget(checks(this));
    right->addStretch();
    top->addLayout(left, 3);
    top->addLayout(right, 2);
    outer->addLayout(top);
    outer->addWidget(heading(QStringLiteral("Push button"), this));
    outer->addWidget(buttons(this));
    outer->addWidget(heading(QStringLiteral("Info tip"), this));
    outer->addWidget(tips(this));
    outer->addWidget(heading(QStringLiteral("Caption labels and size grips"), this));
    outer->addWidget(labelsAndGrips(this));
}

Gallery::~Gallery() = default;

} // namespace vigilux::controls::gallery
