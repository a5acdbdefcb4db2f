#pragma once

#include <QFont>

namespace vellumar {

// The face of the red-on-blue banners: a Kai brush script where one is installed, else the
// program's own CJK font, at the given pixel height and normal weight.
QFont bannerFont(const QFont& programFont, int pixelSize);

} // namespace vellumar
