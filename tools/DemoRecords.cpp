#include "DemoRecords.h"

#include "OfficeSettings.h"
#include "core/FormItems.h"

#include <QDate>

#include <iterator>
#include <string_view>

namespace {

using Text = std::string_view;

enum Field {
    Date,
    LetterOrVisit,
    Place,
    Receiver,
    Visitors,
    Name,
    Sex,
    Ethnicity,
    Age,
    Occupation,
    Phone,
    Address,
    IdNumber,
    Severity,
    Subject,
    FirstVisit,
    Demand,
    Handling,
    Office,
    Instruction,
    Remark,
};

// The entry form's own lists, so that a demo row looks like one a clerk picked from them.
using formitems::ethnicities;
using formitems::offices;
using formitems::severities;

// A subject of list C, the demand a petitioner typically brings with it, and the office it usually goes
// to. In the demand, {c} stands for a company, {m} months, {y} years, {a} an amount of yuan, {i} an
// illness and {v} a village.
struct SubjectKind {
    Text subject;
    Text demand;
    Text office;
};
constexpr SubjectKind subjects[] = {
    {"拖欠工资", "反映{c}拖欠其工资{m}个月共计{a}元，多次讨要未果，请求帮助追讨。", "人社局"},
    {"退休", "本人已达到法定退休年龄，原单位{c}至今未为其办理退休手续，请求督促办理。", "人社局"},
    {"退休待遇", "反映退休后养老金待遇偏低，与同期同岗位退休人员相差较大，请求重新核定退休待遇。", "社保局"},
    {"病退", "因患{i}已丧失劳动能力，申请办理病退，原单位以材料不全为由不予上报，请求协调。", "人社局"},
    {"养老保险", "反映原单位{c}未按规定为其缴纳养老保险{y}年，要求单位补缴。", "社保局"},
    {"医疗保险", "反映住院医疗费用{a}元报销比例过低，部分费用未纳入医保报销范围，请求解释并重新核报。", "社保局"},
    {"分房", "反映单位分房过程不公开、不公平，本人符合分房条件却未分到住房，请求调查。", "国土资源局"},
    {"贪污", "举报{v}村干部在征地补偿款发放中涉嫌截留、侵占，金额约{a}元，请求查处。", "检察院"},
    {"受贿", "举报某部门工作人员在办理审批手续时收受好处费，请求依法查处。", "检察院"},
    {"工伤", "本人在{c}工作期间受伤，单位不予申报工伤、不支付医疗费用，请求依法认定工伤。", "人社局"},
    {"工资", "反映单位连续{m}个月未足额发放工资，实发工资低于最低工资标准，请求核查。", "人社局"},
    {"档案丢失", "反映本人人事档案在原单位{c}改制过程中丢失，影响办理退休，请求帮助查找或补建。", "人社局"},
    {"档案", "申请调取本人档案材料，相关单位互相推诿，请求明确办理部门。", "人社局"},
    {"收取押金", "反映{c}入职时收取押金{a}元，离职后拒不退还，请求责令退还。", "工商局"},
    {"不作为", "反映此前向有关部门反映的问题长期无人处理、无人答复，请求督促相关部门依法履职。", ""},
};

constexpr Text surnames[] = {"王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马",   "朱",
                             "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩",   "冯",
                             "邓", "曹", "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡", "余",   "杜",
                             "叶", "程", "苏", "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔", "钟",   "谭",
                             "陆", "汪", "范", "金", "石", "廖", "贾", "夏", "韦", "方", "白", "邹", "孟",   "熊",
                             "秦", "邱", "江", "尹", "薛", "段", "雷", "侯", "龙", "史", "陶", "贺", "顾",   "毛",
                             "郝", "龚", "邵", "万", "钱", "严", "武", "戴", "莫", "孔", "向", "汤", "欧阳", "司马"};
constexpr Text maleNames[] = {"伟",   "强",   "磊",   "军",   "勇",   "杰",   "涛",   "明",   "超",
                              "刚",   "平",   "辉",   "鹏",   "华",   "飞",   "斌",   "宇",   "浩",
                              "凯",   "健",   "建国", "建军", "志强", "国庆", "卫东", "海涛", "永刚",
                              "德明", "春生", "玉山", "长青", "文斌", "振华", "宏伟", "立新", "俊杰"};
constexpr Text femaleNames[] = {"芳",   "娜",   "敏",   "静",   "丽",   "艳",   "娟",   "霞",   "燕",
                                "玲",   "慧",   "桂英", "秀英", "秀兰", "玉兰", "淑珍", "丽娟", "海燕",
                                "雪梅", "春花", "凤英", "晓丽", "美玲", "婷婷", "红梅", "冬梅", "金凤"};
constexpr Text occupations[] = {"工人", "农民",     "教师",     "个体经营者", "无业",         "公司职员",     "司机",
                                "医生", "下岗职工", "建筑工人", "自由职业",   "进城务工人员", "企业管理人员", "保安"};
constexpr Text elderOccupations[] = {"退休职工", "退休教师", "农民", "退休干部"};

// The districts of the made-up city with made-up region codes for the ID numbers: 3699 is no real
// prefecture, so no generated number can be a real person's.
struct District {
    Text name;
    Text code;
    bool rural;
};
constexpr District districts[] = {{"东城区", "369902", false}, {"西城区", "369903", false}, {"南湖区", "369904", false},
                                  {"北山区", "369905", false}, {"云溪县", "369921", true},  {"清河县", "369922", true}};
constexpr Text roads[] = {"解放路", "人民路", "建设路", "和平街", "新华路", "胜利路", "文化路", "长安街", "滨江路"};
constexpr Text towns[] = {"柳林镇", "石桥镇", "河口乡", "白塔镇", "青山乡"};
constexpr Text villages[] = {"杨庄", "李家湾", "石门", "新河", "前进", "大柳树", "王家坪"};
constexpr Text companies[] = {"云澜市宏达建筑工程有限公司", "云澜市第三纺织厂", "南湖区鑫源商贸有限公司",
                              "清河县永兴矿业有限公司",     "云澜市长江机械厂", "云澜市华美服装有限公司",
                              "北山区顺通物流有限公司",     "云溪县红星水泥厂"};
constexpr Text illnesses[] = {"腰椎间盘突出", "冠心病", "糖尿病并发症", "矽肺", "脑梗塞后遗症"};
constexpr Text places[] = {"信访局接待大厅", "市民服务中心", "领导接待日现场"};
constexpr Text phonePrefixes[] = {"130", "131", "132", "133", "135", "136", "137", "138", "139", "150", "151",
                                  "152", "155", "158", "159", "177", "180", "181", "186", "187", "188", "189"};
constexpr Text handlings[] = {
    "已转{o}办理", "当场解释答复，来访人表示满意", "已转办，待反馈", "已办结",         "正在调查核实",
    "已协调解决",  "告知其通过法律途径解决",       "已电话回访",     "已交{o}限期答复"};
constexpr Text instructions[] = {"请{o}认真核实，依法依规处理，并及时答复来访人。", "阅。请按程序办理。",
                                 "请{o}于十五日内办结并报结果。", "请有关部门高度重视，妥善处理。"};
constexpr Text remarks[] = {"需回访",
                            "重复来访",
                            "来访人情绪激动",
                            "已告知办理时限",
                            "材料不全，已告知补充",
                            "已留存相关材料复印件",
                            "来访人要求书面答复"};
// Strung together these make the long texts that a list column and an entry box must cope with.
constexpr Text narrative[] = {
    "据来访人介绍，该问题已持续多年，其本人曾先后到单位、街道办事处及相关职能部门反映，均未得到明确答复。",
    "来访人表示家庭生活困难，配偶长期患病，子女尚在上学，全家仅靠其微薄收入维持生活。",
    "来访人提供了劳动合同复印件、工资条及相关证人证言等材料，材料基本齐全。",
    "接访人员向其宣讲了相关政策法规，告知其依法逐级反映问题，来访人表示理解。",
    "来访人情绪较为激动，经耐心解释后情绪趋于平稳，同意等待有关部门答复。",
    "来访人要求相关部门在规定期限内书面答复处理结果，并希望信访局跟踪督办。",
    "经初步了解，同类问题在该单位其他职工中也有反映，涉及人数较多，建议相关部门统筹研究解决。"};

class Dice {
public:
    explicit Dice(std::mt19937& engine) : m_engine(engine) {}

    // Plain modulo: its bias is far below anything a demo table could show, and unlike
    // std::uniform_int_distribution it gives the same numbers with every standard library.
    std::uint32_t below(std::uint32_t n) { return m_engine() % n; }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1); }
    bool percent(std::uint32_t p) { return below(100) < p; }
    template <std::size_t N> Text pick(const Text (&items)[N]) { return items[below(N)]; }
    template <std::size_t N> Text pick(const std::array<const char*, N>& items) { return items[below(N)]; }

private:
    std::mt19937& m_engine;
};

void appendNumber(std::string& out, std::int64_t value) {
    out += std::to_string(value);
}

void appendDigits(std::string& out, std::uint32_t value, int width) {
    std::string digits = std::to_string(value);
    out.append(static_cast<std::size_t>(width) - std::min(digits.size(), static_cast<std::size_t>(width)), '0');
    out += digits;
}

// The program's own date form, 2019年3月7日: no leading zeros.
void appendDate(std::string& out, QDate date) {
    appendNumber(out, date.year());
    out += "年";
    appendNumber(out, date.month());
    out += "月";
    appendNumber(out, date.day());
    out += "日";
}

// Writes a template, drawing a fresh value for each placeholder (see SubjectKind); {o} is the office.
void appendFilled(std::string& out, Text pattern, Text office, Dice& dice) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{' || i + 2 >= pattern.size() || pattern[i + 2] != '}') {
            out += pattern[i];
            continue;
        }
        switch (pattern[i + 1]) {
        case 'c':
            out += dice.pick(companies);
            break;
        case 'm':
            appendNumber(out, dice.between(2, 18));
            break;
        case 'y':
            appendNumber(out, dice.between(2, 15));
            break;
        case 'a':
            appendNumber(out, dice.between(8, 600) * 100);
            break;
        case 'i':
            out += dice.pick(illnesses);
            break;
        case 'v':
            out += dice.pick(villages);
            break;
        case 'o':
            out += office.empty() ? Text("有关部门") : office;
            break;
        default:
            out.append(pattern.substr(i, 3));
            break;
        }
        i += 2;
    }
}

void appendNarrative(std::string& out, Dice& dice) {
    const std::uint32_t sentences = dice.between(4, 7);
    for (std::uint32_t i = 0; i < sentences; ++i) {
        out += dice.pick(narrative);
    }
}

int fullYears(QDate birth, QDate day) {
    int years = day.year() - birth.year();
    if (day.month() < birth.month() || (day.month() == birth.month() && day.day() < birth.day())) {
        --years;
    }
    return years;
}

// Region, birth date, a sequence number whose last digit is odd for men and even for women, and the
// ISO 7064 MOD 11-2 check character, so the number passes the checks that a real system would run.
void appendIdNumber(std::string& out, const District& district, QDate birth, bool male, Dice& dice) {
    const std::size_t start = out.size();
    out += district.code;
    appendDigits(out, static_cast<std::uint32_t>(birth.year()), 4);
    appendDigits(out, static_cast<std::uint32_t>(birth.month()), 2);
    appendDigits(out, static_cast<std::uint32_t>(birth.day()), 2);
    appendDigits(out, dice.below(100), 2);
    appendDigits(out, dice.below(5) * 2 + (male ? 1 : 0), 1);
    constexpr int weights[] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        sum += (out[start + static_cast<std::size_t>(i)] - '0') * weights[i];
    }
    out += "10X98765432"[sum % 11];
}

void appendAddress(std::string& out, const District& district, Dice& dice) {
    if (dice.percent(12)) {
        out += dice.pick(companies);
        return;
    }
    out += office::city;
    out += district.name;
    if (district.rural) {
        out += dice.pick(towns);
        out += dice.pick(villages);
        out += "村";
        appendNumber(out, dice.between(1, 9));
        out += "组";
        return;
    }
    out += dice.pick(roads);
    appendNumber(out, dice.between(1, 320));
    out += "号";
    if (dice.percent(60)) {
        appendNumber(out, dice.between(1, 24));
        out += "栋";
        appendNumber(out, dice.between(1, 4));
        out += "单元";
        appendNumber(out, dice.between(1, 18) * 100 + dice.between(1, 4));
        out += "室";
    }
}

QDate dateOfRow(std::int64_t index, std::int64_t count) {
    static const QDate first(2017, 1, 3);
    static const std::int64_t span = first.daysTo(QDate(2024, 12, 31));
    QDate date = first.addDays(index * span / count);
    // The office receives on working days; a weekend slot goes to the following Monday.
    while (date.dayOfWeek() > 5) {
        date = date.addDays(1);
    }
    return date;
}

} // namespace

// The seed is arbitrary; it only has to stay the same.
DemoRecords::DemoRecords(std::int64_t count) : m_engine(20121204u), m_count(count > 0 ? count : 1) {}

void DemoRecords::next(Row& row) {
    for (std::string& field : row) {
        field.clear();
    }
    Dice dice(m_engine);
    const QDate date = dateOfRow(m_index++, m_count);
    const bool letter = dice.percent(35);
    const bool male = dice.percent(58);
    const QDate birth = date.addDays(-static_cast<qint64>(dice.between(18 * 366, 86 * 365)));
    const int age = fullYears(birth, date);
    const District& district = districts[dice.below(std::size(districts))];
    const SubjectKind& subject = subjects[dice.below(std::size(subjects))];

    Text office = subject.office;
    if (office.empty() || dice.percent(10)) {
        office = dice.pick(offices);
    }
    if (dice.percent(5)) {
        office = {};
    }

    appendDate(row[Date], date);
    row[LetterOrVisit] = letter ? "来信" : "来访";
    row[Place] = dice.percent(88) ? Text("信访局") : dice.pick(places);
    row[Receiver] = office::receivers[dice.below(office::receivers.size())];
    if (letter || dice.percent(60)) {
        row[Visitors] = "1";
    } else {
        appendNumber(row[Visitors], dice.percent(75) ? dice.between(2, 4) : dice.between(5, 30));
    }
    row[Name] = dice.pick(surnames);
    row[Name] += male ? dice.pick(maleNames) : dice.pick(femaleNames);
    row[Sex] = male ? "男" : "女";
    if (!dice.percent(2)) {
        row[Ethnicity] = dice.percent(85) ? ethnicities[0] : dice.pick(ethnicities);
    }
    if (!dice.percent(3)) {
        appendNumber(row[Age], age);
    }
    if (!dice.percent(5)) {
        row[Occupation] = age >= 58 && dice.percent(75) ? dice.pick(elderOccupations) : dice.pick(occupations);
    }
    if (!dice.percent(8)) {
        row[Phone] = dice.pick(phonePrefixes);
        appendDigits(row[Phone], dice.below(100000000), 8);
    }
    appendAddress(row[Address], district, dice);
    // A letter often comes without the writer's ID number.
    if (!(letter && dice.percent(40))) {
        appendIdNumber(row[IdNumber], district, birth, male, dice);
    }
    const std::uint32_t severity = dice.below(100);
    row[Severity] = severities[severity < 10 ? 0 : severity < 50 ? 1 : 2];
    row[Subject] = subject.subject;
    row[FirstVisit] = dice.percent(70) ? "是" : "否";
    appendFilled(row[Demand], subject.demand, office, dice);
    if (dice.percent(4)) {
        appendNarrative(row[Demand], dice);
    }
    if (!dice.percent(10)) {
        appendFilled(row[Handling], dice.pick(handlings), office, dice);
    }
    row[Office] = office;
    if (dice.percent(40)) {
        appendFilled(row[Instruction], dice.pick(instructions), office, dice);
    }
    if (dice.percent(2)) {
        appendNarrative(row[Remark], dice);
    } else if (dice.percent(25)) {
        row[Remark] = dice.pick(remarks);
    }
}
