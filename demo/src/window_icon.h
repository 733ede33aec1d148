#pragma once

#include <QIcon>

namespace vendrel::demo {

// The window's icon, drawn here: two small tables joined into a third.
QIcon WindowIcon();

}  // namespace vendrel::demo
