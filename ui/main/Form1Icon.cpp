#include "ui/main/Form1Icon.h"

#include <QPixmap>

#include "form1_icon.xpm"

QIcon form1Icon()
{
    return QIcon(QPixmap(form1_icon_xpm));
}
