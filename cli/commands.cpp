#include "commands.h"

#include "backupcommand.h"
#include "backupprinter.h"
#include "commandline.h"
#include "prunecommand.h"

#include "text/codepage.h"

namespace cli {
namespace {

const text::Text kVersion{u8"Tarnwick 2004 版本 " TARNWICK_VERSION "\n"};
// How the help begins, for each program; the options are the same.
const text::Text kUsageWithWindows{u8"用法：tarnwick2004 [選項]\n"
                                   u8"\n"
                                   u8"不加選項時開啟程式的視窗。\n"
                                   u8"\n"};
const text::Text kUsageConsole{
    u8"用法：tarnwick2004-cli [選項]\n"
    u8"\n"
    u8"只在命令提示字元中備份及清除，不開視窗；程式的視窗是 tarnwick2004.exe。\n"
    u8"\n"};
const text::Text kOptions{
    u8"  --backup              不開視窗，備份上次在視窗中選擇的資料夾到今天的備份資料夾，\n"
    u8"                        並建立還原點，與視窗中的「開始備份」相同\n"
    u8"  --source 資料夾       與 --backup 一起使用：改為備份此資料夾（例如 D:\\Data）\n"
    u8"  --dest 資料夾         與 --backup 一起使用：改為備份到此資料夾（例如 E:\\Bak）；\n"
    u8"                        與 --prune 一起使用：清除此資料夾\n"
    u8"  --save                與 --source 或 --dest 一起使用：並存為下次的選擇\n"
    u8"  --quiet               只列出無法備份的檔案及錯誤\n"
    u8"  --full-copy           與 --backup 一起使用：每個檔案都重新複製。不加時，自上次\n"
    u8"                        備份以來未變更的檔案（大小、修改時間及權限相同）只建立\n"
    u8"                        連結至上次備份中的同一個檔案，不佔空間\n"
    u8"  --prune               不開視窗，刪除備份目地資料夾（--dest，或上次的選擇）中\n"
    u8"                        --keep-* 選項沒有保留的舊備份資料夾（只刪除備份記錄中的\n"
    u8"                        日期資料夾，其他一律不動）；與 --backup 一起時則在還原點\n"
    u8"                        建立後刪除。最新的備份一律保留\n"
    u8"  --keep-daily N        保留最近 N 天每天最新的備份\n"
    u8"  --keep-weekly N       保留最近 N 週（星期一至星期日）每週最新的備份\n"
    u8"  --keep-monthly N      保留最近 N 個月每月最新的備份\n"
    u8"  --dry-run             與 --prune 一起使用：只列出會刪除的資料夾及約可釋放的空間\n"
    u8"  --help                顯示此說明\n"
    u8"  --version             顯示版本\n"
    u8"\n"
    u8"結束狀態：\n"
    u8"  0  所有檔案都已備份，還原點已建立\n"
    u8"  1  有些檔案或資料夾無法備份，或已存在但與來源不同而未覆蓋（已全部列出），\n"
    u8"     還原點已建立（加上 --keep-* 時：或有舊備份資料夾無法刪除）\n"
    u8"  2  沒有備份：選項有誤、沒有設定檔、來源或目地資料夾不存在、\n"
    u8"     無法建立備份資料夾，或無法建立還原點\n"
    u8"--prune 的結束狀態：0 全部完成，1 有些資料夾無法刪除（已列出），\n"
    u8"  2 沒有刪除：選項有誤、無法讀取備份記錄、目地資料夾不存在\n"
    u8"--backup 的結束狀態為 1 或 2 時（--quiet 亦同），在桌面顯示通知（Linux），\n"
    u8"  並在下次開啟視窗時告知一次（記錄於程式資料夾的 LastBackup.ini）\n"
    u8"\n"
    u8"每天 03:00（02:30 備份之後）由 cron 清除（crontab -e）：\n"
    u8"  0 3 * * * tarnwick2004 --prune --dest 'E:\\Bak' --keep-daily 7 --keep-weekly 4 "
    u8"--keep-monthly 12\n"};

std::string help(Program program) {
    return (program == Program::Console ? kUsageConsole : kUsageWithWindows).str() + kOptions.str();
}

} // namespace

std::optional<int> runCommandLine(const std::vector<std::string>& arguments, Console& console,
                                  Program program) {
    CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Window:
        return std::nullopt;
    case CommandLine::Action::Help:
        console.write(help(program));
        return kAllBackedUp;
    case CommandLine::Action::Version:
        console.write(kVersion.str());
        return kAllBackedUp;
    case CommandLine::Action::Invalid:
        console.writeError(line.error + "\n" + help(program));
        return kNothingBackedUp;
    case CommandLine::Action::Prune:
        return runPrune(line, console);
    case CommandLine::Action::Backup:
        break;
    }
    return runBackup(line, console);
}

} // namespace cli
