#include "frame/bannerfont.h"

#include <QStringList>

namespace vellumar {

QFont bannerFont(const QFont& programFont, int pixelSize) {
    QFont font = programFont;
    QStringList families = {QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
                            QStringLiteral("KaiTi"), QStringLiteral("楷体")};
    families += programFont.families();
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace vellumar
