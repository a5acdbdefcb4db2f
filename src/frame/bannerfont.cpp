#include "frame/bannerfont.h"

#include <QStringList>

namespace vellumar {

QFont bannerFont(const QFont& programFont, int pixelSize) {
    QFont font = programFont;
    // The Kai faces draw Latin letters poorly ("ll" reads as "11"), so Latin text takes a
    // serif face that has no Chinese glyphs of its own and leaves those to Kai.
    QStringList families = {QStringLiteral("DejaVu Serif"),  QStringLiteral("Liberation Serif"),
                            QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
                            QStringLiteral("KaiTi"),         QStringLiteral("楷体")};
    families += programFont.families();
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace vellumar
