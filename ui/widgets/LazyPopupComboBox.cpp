#include "ui/widgets/LazyPopupComboBox.h"

#include <QEvent>

void LazyPopupComboBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange && !popupHasFont_) {
        // The list itself takes the font; the popup gets it when it opens.
        updateGeometry();
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void LazyPopupComboBox::showPopup()
{
    if (!popupHasFont_) {
        popupHasFont_ = true;
        // What a font change does to the popup: made, given the list's font.
        QEvent fontChange(QEvent::FontChange);
        QComboBox::changeEvent(&fontChange);
    }
    QComboBox::showPopup();
}
