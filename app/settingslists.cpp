#include "settingslists.h"

const IdListModel::List &potFunctionList()
{
    static const IdListModel::List list = {
        {QStringLiteral("Disabled"), 0},
        {QStringLiteral("Master Gain"), 1},
        {QStringLiteral("Periodic Effects Gain"), 11},
        {QStringLiteral("Spring Gain"), 12},
        {QStringLiteral("Inertia Gain"), 14},
        {QStringLiteral("Damper Gain"), 13},
        {QStringLiteral("Friction Gain"), 15},
        {QStringLiteral("Constant Force Gain"), 17},
        {QStringLiteral("Trim X"), 18},
        {QStringLiteral("Trim Y"), 19},
        {QStringLiteral("Axis: Slider"), 16},
        {QStringLiteral("Axis: Z"), 20},
        {QStringLiteral("Axis: Rx"), 21},
        {QStringLiteral("Axis: Ry"), 22},
        {QStringLiteral("Axis: Rz"), 23},
    };
    return list;
}

const IdListModel::List &gripTypeList()
{
    static const IdListModel::List list = {
        {QStringLiteral("Generic Grip"), 0},
        {QStringLiteral("Generic Grip (64 Button, Realsimulator)"), 3},
        {QStringLiteral("Generic Grip (Debug)"), 4},
        {QStringLiteral("Tavik Shift-Register"), 2},
        {QStringLiteral("VPC T-50CM2"), 1},
        {QStringLiteral("VPC Constellation Alpha+Prime"), 6},
        {QStringLiteral("VPC WarBrd"), 5},
        {QStringLiteral("VPC V.F.X"), 7},
        {QStringLiteral("WinWing Adapter"), 8},
        {QStringLiteral("Loopback"), 9},
        {QStringLiteral("Disabled"), 10},
    };
    return list;
}

bool isPotAxisFunction(int id)
{
    return id == 16 || (id >= 20 && id <= 23);
}
