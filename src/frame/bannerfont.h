#pragma once

#include <QFont>

namespace vellumar {

// The face of the red-on-blue banners: Chinese in a Kai brush script where one is installed
// (else the program's own CJK font), Latin letters and digits in a serif face that reads well,
// at the given pixel height and normal weight.
QFont bannerFont(const QFont& programFont, int pixelSize);

} // namespace vellumar
