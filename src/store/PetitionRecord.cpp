#include "PetitionRecord.h"

const QStringList& columnNames() {
    static const QStringList names = {
        QStringLiteral("编号"),
        QStringLiteral("日期"),
        QStringLiteral("来信来访"),
        QStringLiteral("接访地点"),
        QStringLiteral("接访人"),
        QStringLiteral("来访人数"),
        QStringLiteral("来访人姓名"),
        QStringLiteral("来访人性别"),
        QStringLiteral("来仿人民族"),
        QStringLiteral("来访人年龄"),
        QStringLiteral("来仿人职业"),
        QStringLiteral("来访人电话"),
        QStringLiteral("来访人单位或住址"),
        QStringLiteral("来访人身份证"),
        QStringLiteral("问题性质"),
        QStringLiteral("信访事由"),
        QStringLiteral("是否初访"),
        QStringLiteral("诉求内容"),
        QStringLiteral("处理情况"),
        QStringLiteral("归办单位"),
        QStringLiteral("领导批示"),
        QStringLiteral("备注"),
    };
    return names;
}

QString tableName() {
    return QStringLiteral("信访数据");
}
