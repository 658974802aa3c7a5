#include "app/MenuItems.h"

namespace zd::menuitems {

QStringList panel() {
    return {QStringLiteral("打开"), QStringLiteral("-"),    QStringLiteral("选项"),
            QStringLiteral("-"),    QStringLiteral("关于"), QStringLiteral("-"),
            QStringLiteral("帮助"), QStringLiteral("-"),    QStringLiteral("退出")};
}

QStringList floating() {
    return {QStringLiteral("打开主窗口"),   QStringLiteral("-"),
            QStringLiteral("关闭主窗口"),   QStringLiteral("-"),
            QStringLiteral("选项窗口"),     QStringLiteral("-"),
            QStringLiteral("隐藏悬浮窗口"), QStringLiteral("-"),
            QStringLiteral("显示悬浮窗口"), QStringLiteral("-"),
            QStringLiteral("关于"),         QStringLiteral("-"),
            QStringLiteral("帮助"),         QStringLiteral("-"),
            QStringLiteral("退出")};
}

QStringList playList() {
    return {QStringLiteral("播放文件"), QStringLiteral("-"), QStringLiteral("从列表中删除"),
            QStringLiteral("-"), QStringLiteral("文件属性")};
}

}  // namespace zd::menuitems
