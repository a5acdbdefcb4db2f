#include "ledgergenerator.h"

#include "host/conversions.h"

#include <QDateTime>
#include <QRandomGenerator>

namespace vellumar::bench {

namespace {

const QStringList& products() {
    static const QStringList names = {
        QStringLiteral("五常稻花香大米 10kg"),
        QStringLiteral("金龙鱼花生油 5L"),
        QStringLiteral("海天金标生抽 500ml"),
        QStringLiteral("恒顺香醋"),
        QStringLiteral("太太乐鸡精 200g"),
        QStringLiteral("农夫山泉 550ml"),
        QStringLiteral("康师傅红烧牛肉面"),
        QStringLiteral("青岛啤酒 500ml×12"),
        QStringLiteral("蒙牛纯牛奶 250ml×24"),
        QStringLiteral("伊利安慕希酸奶"),
        QStringLiteral("白砂糖"),
        QStringLiteral("绵白糖 400g"),
        QStringLiteral("红富士苹果"),
        QStringLiteral("赣南脐橙"),
        QStringLiteral("香蕉"),
        QStringLiteral("东北黑木耳 250g"),
        QStringLiteral("雕牌洗衣粉 1.5kg"),
        QStringLiteral("维达卷纸 10卷"),
        QStringLiteral("安溪铁观音"),
        QStringLiteral("西湖龙井 明前"),
        QStringLiteral("老干妈风味豆豉"),
        QStringLiteral("涪陵榨菜 80g"),
        QStringLiteral("鲁花5S压榨花生油"),
        QStringLiteral("挂面（龙须面）"),
        QStringLiteral("鸡蛋"),
        QStringLiteral("土豆"),
        QStringLiteral("大白菜"),
        QStringLiteral("猪肉（前腿）"),
        QStringLiteral("冷冻饺子 1kg"),
        QStringLiteral("可口可乐 2L"),
        QStringLiteral("王老吉凉茶 310ml"),
        QStringLiteral("旺旺雪饼"),
        QStringLiteral("奥利奥饼干"),
        QStringLiteral("德芙巧克力"),
        QStringLiteral("中华牙膏 120g"),
        QStringLiteral("舒肤佳香皂"),
        QStringLiteral("南孚电池 5号"),
        QStringLiteral("一次性筷子 100双"),
        QStringLiteral("塑料袋（大号）"),
        QStringLiteral("蚊香"),
    };
    return names;
}

const QStringList& units() {
    static const QStringList names = {
        QStringLiteral("袋"),   QStringLiteral("桶"), QStringLiteral("瓶"), QStringLiteral("斤"),
        QStringLiteral("公斤"), QStringLiteral("箱"), QStringLiteral("包"), QStringLiteral("件"),
        QStringLiteral("个"),   QStringLiteral("盒"), QStringLiteral("提")};
    return names;
}

const QStringList& remarks() {
    static const QStringList texts = {
        QStringLiteral("老客户"),
        QStringLiteral("月结"),
        QStringLiteral("赊账，月底结清"),
        QStringLiteral("送货上门\r\n电话 138 0013 8000"),
        QStringLiteral("含税价"),
        QStringLiteral("\"特价\"促销, 限购两件"),
        QStringLiteral("退货 2 件，已换新"),
        QStringLiteral("张老板订的货\n下周二来取"),
        QStringLiteral("微信已付"),
        QStringLiteral("现金"),
    };
    return texts;
}

} // namespace

void generateLedger(LedgerSheet& sheet, int records, unsigned seed) {
    QRandomGenerator random(seed);
    const int rowCount = std::max(LedgerSheet::InitialRowCount, records + 1);
    std::vector<LedgerSheet::Row> rows;
    rows.reserve(static_cast<size_t>(rowCount));
    rows.emplace_back(); // the titles, written below
    QDateTime moment(QDate(2024, 3, 1), QTime(8, 0, 0));
    QString joined;
    for (int record = 1; record <= records; ++record) {
        const double quantity =
            random.bounded(4) == 0 ? random.bounded(1, 40) / 2.0 : random.bounded(1, 30);
        const double price = random.bounded(50, 30000) / 100.0;
        moment = moment.addSecs(random.bounded(30, 900));
        const QString cells[LedgerSheet::ColumnCount] = {
            QString::number(record),
            products()[random.bounded(int(products().size()))],
            numberToText(quantity),
            units()[random.bounded(int(units().size()))],
            numberToText(price),
            numberToText(quantity * price),
            dateTimeToText(moment),
            random.bounded(100) < 55 ? QString()
                                     : remarks()[random.bounded(int(remarks().size()))]};
        joined.clear();
        LedgerSheet::Row::Ends ends{};
        for (int column = 0; column < LedgerSheet::ColumnCount; ++column) {
            joined += cells[column];
            ends[static_cast<size_t>(column)] = static_cast<std::uint32_t>(joined.size());
        }
        rows.emplace_back(joined, ends);
    }
    rows.resize(static_cast<size_t>(rowCount));
    sheet.replaceRows(std::move(rows));
    sheet.applyTitles();
}

} // namespace vellumar::bench
