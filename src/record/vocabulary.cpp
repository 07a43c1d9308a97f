// Work categories and leave reasons shared by the recording screens.
#include "record/vocabulary.h"

#include "record/punch_record.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace tavomi {

const std::array<Reason, 9> kReasons = {{
    {24, u"割振変更", u"割振"},
    {25, u"年休", u"年休"},
    {26, u"病休", u"病休"},
    {27, u"特休", u"特休"},
    {28, u"介護", u"介護"},
    {29, u"組合", u"組合"},
    {30, u"職専免", u"職専免"},
    {31, u"育短", u"育短"},
    {32, u"その他", u"その他"},
}};

// Category g is box 23, added after the others were numbered.
const std::array<WorkCategory, 23> kWorkCategories = {{
    {u"a", 1, 1, u"a 朝の業務（朝打合せ、朝の会、朝礼、出欠確認など）", nullptr},
    {u"b", 2, 1, u"b 授業（主担当、補助）", nullptr},
    {u"c", 3, 1, u"c 授業準備", nullptr},
    {u"d", 4, 1, u"d 学習指導", u"（補修、個別指導、質問や宿題への対応）"},
    {u"e", 5, 1, u"e 成績処理", nullptr},
    {u"f", 6, 1, u"ｆ 生徒指導（集団）", nullptr},
    {u"g", 23, 1, u"g 生徒指導（個別）", nullptr},
    {u"h", 7, 1, u"h 部活動・クラブ活動", nullptr},
    {u"i", 8, 1, u"i 児童会・生徒会活動", nullptr},
    {u"j", 9, 1, u"j 学校行事（行事そのものと、準備）", nullptr},
    {u"k", 10, 1, u"k 学年・学級経営", u"（連絡帳、通信の作成、掲示物など）"},
    {u"l", 11, 2, u"l 学校経営（校務分掌、部下職員や初任者・実習生の指導、校舎環境整備）", nullptr},
    {u"m1", 12, 2, u"m1 職員会議・学年会などの会議", nullptr},
    {u"m2", 13, 2, u"m2 個別の打合せ・情報交換（生徒指導関するもの）", nullptr},
    {u"n", 14, 2, u"n 事務（調査・統計への回答、集金・徴収、その他事務）", nullptr},
    {u"o", 15, 2, u"o 校内研修", nullptr},
    {u"p", 16, 3, u"p 保護者・PTA対応（学級懇談、保護者会、面談、電話対応など）", nullptr},
    {u"q", 17, 3, u"q 地域対応（町内会、地域の会議、巡回・見回りなど）", nullptr},
    {u"r", 18, 3, u"r その他対応（関係団体、来校者など）", nullptr},
    {u"s", 19, 3, u"s 外での研修（初任者研修、校務としての研修、出張を伴う研修など）", nullptr},
    {u"t", 20, 3, u"t 校外での会議・打合せ・出張を伴う会議", nullptr},
    {u"u", 21, 3, u"u その他の校務（上記に分類できないもの、移動に伴う時間など）", nullptr},
    {u"v", 22, 3, u"v 休憩（校務と関係のない雑談や休憩）", nullptr},
}};

const std::array<SpecialNote, 3> kSpecialNotes = {{
    {33, u"　年休", 25},
    {34, u"　割振変更", 24},
    {35, u"　部活動・クラブ活動", 7},
}};

const std::array<const char16_t*, 3> kCategoryPageCaptions = {
    u"児童生徒の指導に関わる業務",
    u"学校の運営に係わる業務",
    u"外部対応・校外・その他",
};

namespace {

template <typename Entries>
QString codeField(const char16_t* head, const char16_t* none, const Entries& entries,
                  const IsTicked& isTicked) {
    QString field = QString::fromUtf16(head);
    const qsizetype empty = field.size();
    for (const auto& entry : entries) {
        if (isTicked(entry.box)) {
            field += QString::fromUtf16(entry.code);
        }
    }
    return field.size() == empty ? QString::fromUtf16(none) : field;
}

}  // namespace

QStringList hoursList() {
    return {
        u"中抜け時間は？"_s, u"１時間"_s, u"２時間"_s, u"３時間"_s, u"４時間"_s,
        u"５時間"_s,         u"６時間"_s, u"７時間"_s, u"８時間"_s,
    };
}

QString hoursListTime(int entry) {
    if (entry < 1 || entry > 8) {
        return {};
    }
    return QStringLiteral("0%1:00").arg(entry);
}

QString detailField(const IsTicked& isTicked) {
    return codeField(kDetailHead, kNoDetail, kWorkCategories, isTicked);
}

QString reasonField(const IsTicked& isTicked) {
    return codeField(kReasonHead, kNoReason, kReasons, isTicked);
}

bool isLeaveReason(QStringView code) {
    return code != QStringView(u"割振") &&
           std::any_of(kReasons.begin(), kReasons.end(),
                       [code](const Reason& r) { return code == QStringView(r.code); });
}

}  // namespace tavomi
