#include "templates/SetupFiles.h"

namespace {

// What wearing the item set of a section adds to a character.
struct WearAdd {
    int section;
    int dc, mc, sc, ac, mac, hp, mp;
};

constexpr WearAdd WearAdds[] = {
    // section  DC   Mc   Sc   Ac  Mac   HP   MP
    {230,        0,   0,   0,   0,   0,   0,   0},
    {231,        0,   0,   0,   0,   0,   0,   0},
    {232,        0,   0,   0,   0,   0,   0,   0},
    {233,        0,   0,   0,   0,   0,   0,   0},
    {234,        0,   0,   0,   0,   0,   0,   0},
    {235,        0,   0,   0,   0,   0,   0,   0},
    {236,        0,   0,   0,   0,   0,   0,   0},
    {237,        0,   0,   0,   0,   0,   0,   0},
    {238,        0,   0,   0,   0,   0,   0,   0},
    {239,        0,   0,   0,   0,   0,   0,   0},
    {240,       25,  25,  23,  20,  20, 300, 300},
    {241,        0,  20,   0,  15,  15, 300, 100},
    {242,        0,   0,  17,  15,  15, 250, 250},
    {243,       20, 100,   0,  20,  20, 100, 500},
    {244,        0,  15,   0,  14,  14, 300,   0},
    {245,        0,  10,   0,   7,   7, 150,   0},
    {246,        0,   0,  12,  12,  12, 200, 200},
    {247,        0,   0,   7,   7,   7, 100, 100},
    {248,       15,   0,   0,  15,  15,   0, 400},
    {249,        7,   0,   0,   0,   0,   0,   0},
};

QStringList wearAddSection(const WearAdd &add)
{
    return {
        QStringLiteral("[%1WearAdd]").arg(add.section),
        QStringLiteral("DC = %1").arg(add.dc),
        QStringLiteral("Mc = %1").arg(add.mc),
        QStringLiteral("Sc = %1").arg(add.sc),
        QStringLiteral("Ac = %1").arg(add.ac),
        QStringLiteral("Mac = %1").arg(add.mac),
        QStringLiteral("HP = %1").arg(add.hp),
        QStringLiteral("MP = %1").arg(add.mp),
    };
}

} // namespace

ServerLines SetupFiles::runAddrTxt(const FieldSource &)
{
    return {fixedLine(QStringLiteral("127.0.0.1"))};
}

ServerLines SetupFiles::serverTableTxt(const FieldSource &fields)
{
    return expand(fields, {
        {QStringLiteral("0 127.0.0.1 "), Field::txtRG01Port},
        {QStringLiteral("1 127.0.0.1 "), Field::txtRG02Port},
    });
}

ServerLines SetupFiles::plusSetupIni(const FieldSource &fields)
{
    ServerLines lines = expand(fields, {
        {QStringLiteral("[PlusConnect]")},
        {QStringLiteral("SQLIP="), Field::txtSQLIP},
        {QStringLiteral("OdbcName = Game3G")},
        {QStringLiteral("SqlUserName = sa")},
        {QStringLiteral("SqlUserPass = "), Field::txtSQLPass},
        {QStringLiteral("SqlPort = 1433")},
        {QStringLiteral("[StaticDefines]")},
        {QStringLiteral("服务器启动时间=2009-12-29 21:54:23")},
        {QStringLiteral("开区时间=2008-12-31 19:00:00")},
        // The game's scripts expand these forms; to the tool they are plain text.
        {QStringLiteral("USERJF=<$OUTPUT(USERJF)>")},
        {QStringLiteral("USERFAME=<$OUTPUT(USERFAME)>")},
        {QStringLiteral("USERCARDVAL=<$OUTPUT(USERCARDVAL)>")},
        {QStringLiteral("USERSTNAME=<$OUTPUT(USERSTNAME)>")},
        {QStringLiteral("USERMAPNAME=<$OUTPUT(USERMAPNAME)>")},
        {QStringLiteral("USERSPOUSENAME=<$OUTPUT(USERSPOUSENAME)>")},
        {QStringLiteral("USERPROLVL=<$OUTPUT(USERPROLVL)>")},
        {QStringLiteral("USERPROEXP=<$OUTPUT(USERPROEXP)>")},
        {QStringLiteral("USERREBORNCOUNT=<$OUTPUT(USERREBORNCOUNT)>")},
        {QStringLiteral("USERADDBONUSCOUNT=<$OUTPUT(USERADDBONUSCOUNT)>")},
        {QStringLiteral("CURWEEK=<$OUTPUT(CURWEEK)>")},
        {QStringLiteral("CURDAY=<$OUTPUT(CURDAY)>")},
        {QStringLiteral("CURHOUR=<$OUTPUT(CURHOUR)>")},
        {QStringLiteral("STARTSVRMINUTE=<$OUTPUT(STARTSVRMINUTE)>")},
        {QStringLiteral("STARTGAMEMINUTE=<$OUTPUT(STARTGAMEMINUTE)>")},
        {QStringLiteral("FLD_NAME=<$OUTPUT(FLD_NAME)>")},
        {QStringLiteral("FLD_PRICE=<$OUTPUT(FLD_PRICE)>")},
        {QStringLiteral("FLD_NAMEPREFIX=<$OUTPUT(FLD_NAMEPREFIX)>")},
        {QStringLiteral("TEMPJF=<$TEMPJF>")},
        {QStringLiteral("NEWFAME=<$OUTPUT(NEWFAME)>")},
        {QStringLiteral("SERVERNOWTIME=<$OUTPUT(SERVERNOWTIME)>")},
        {QStringLiteral("BrandName = Mir3")},
        {QStringLiteral("Servername = "), Field::txtServerName},
        {QStringLiteral("SYSSTR3=")},
        {QStringLiteral("QQ = 10000")},
        {QStringLiteral("SYSSTR5 = 95588")},
        {QStringLiteral("SYSSTR6 = 工行开户名")},
        {QStringLiteral("SYSSTR7=")},
        {QStringLiteral("SYSSTR8 = 95599")},
        {QStringLiteral("SYSSTR9 = 农行开户名")},
        {QStringLiteral("代理商角色名1 = 在线管理")},
        {QStringLiteral("代理商角色名2=")},
        {QStringLiteral("OnlinePay=https://pay.example.com/")},
        EmptyLine,
        {QStringLiteral("[Setup]")},
        {QStringLiteral("EiParamIniPath=.\\Envir\\ParamControl\\EI内部参数.ini")},
        EmptyLine,
    });
    for (const WearAdd &add : WearAdds) {
        for (const QString &text : wearAddSection(add))
            lines << fixedLine(text);
    }
    return lines;
}
