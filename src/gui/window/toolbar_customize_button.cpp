#include "gui/window/toolbar_customize_button.h"

#include <QAction>
#include <QToolBar>
#include <QToolButton>

namespace nimbrel::gui {
namespace {

constexpr char kCustomizeMark[] = "customizeButton";

bool isCustomizeButton(const QAction* action) {
    return action && action->property(kCustomizeMark).toBool();
}

}  // namespace

void addCustomizeButton(QToolBar* bar, QAction* customize) {
    if (!bar || !customize || toolbarEnd(bar)) return;
    // Its tip is the label itself; Qt's default tip would drop the "...".
    customize->setToolTip(customize->text());
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(kCustomizeMark));
    button->setDefaultAction(customize);
    // An arrow instead of an icon: the button stays as small as the toolbar's grip.
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setArrowType(Qt::DownArrow);
    button->setAutoRaise(true);
    QAction* placed = bar->addWidget(button);
    placed->setProperty(kCustomizeMark, true);
    placed->setText(customize->text());
}

QList<QAction*> toolbarCommands(const QToolBar* bar) {
    QList<QAction*> commands;
    if (!bar) return commands;
    for (QAction* a : bar->actions()) {
        if (!isCustomizeButton(a)) commands << a;
    }
    return commands;
}

QAction* toolbarEnd(const QToolBar* bar) {
    if (!bar) return nullptr;
    for (QAction* a : bar->actions()) {
        if (isCustomizeButton(a)) return a;
    }
    return nullptr;
}

}  // namespace nimbrel::gui
