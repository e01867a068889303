#include "ui/widgets/WheelGuard.h"

#include <QComboBox>
#include <QEvent>

namespace {

class WheelFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void ignoreWheel(QComboBox& list)
{
    list.installEventFilter(new WheelFilter(&list));
}
