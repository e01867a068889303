#pragma once

#include <QIcon>

// The window's 32 x 32, 16-colour icon: a fan on a chip package.
QIcon form1Icon();
