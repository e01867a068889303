#include "ui/widgets/SelectableOnPress.h"

#include <QEvent>
#include <QLabel>

namespace {

class FirstPress : public QObject {
public:
    explicit FirstPress(QLabel& label) : QObject(&label), label_(label) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
            // Before the label sees the press, so the press starts the selection.
            label_.setTextInteractionFlags(Qt::TextSelectableByMouse);
            label_.removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QLabel& label_;
};

} // namespace

void selectableOnFirstPress(QLabel& label)
{
    label.installEventFilter(new FirstPress(label));
}
