#include "commands.h"

#include "backupcommand.h"
#include "backupprinter.h"
#include "commandline.h"
#include "prunecommand.h"
#include "restorecommand.h"
#include "verifycommand.h"

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
    u8"只在命令提示字元中備份、還原、驗證及清除，不開視窗；程式的視窗是 tarnwick2004.exe。\n"
    u8"\n"};
const text::Text kOptions{
    u8"  --backup              不開視窗，備份上次在視窗中選擇的資料夾到今天的備份資料夾，\n"
    u8"                        並建立還原點，與視窗中的「開始備份」相同\n"
    u8"  --source 資料夾       與 --backup 一起使用：改為備份此資料夾（例如 D:\\Data）\n"
    u8"  --dest 資料夾         與 --backup 一起使用：改為備份到此資料夾（例如 E:\\Bak）；\n"
    u8"                        與 --prune 一起使用：清除此資料夾\n"
    u8"                        與 --restore 或 --list 一起使用：從此資料夾中的備份還原\n"
    u8"  --save                與 --source 或 --dest 一起使用：並存為下次的選擇\n"
    u8"  --quiet               只列出無法備份或還原的檔案及錯誤\n"
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
    u8"  --restore             不開視窗，還原 --dest 中的一個備份（與視窗中的「啟動還原檔案」\n"
    u8"                        相同：只複製不存在的檔案，不覆蓋任何檔案）\n"
    u8"  --point N             與 --restore 一起使用：還原還原點 N 的備份\n"
    u8"  --date YYYY-MM-DD     與 --restore 一起使用：還原這一天的備份\n"
    u8"  --folder 路徑         與 --restore 一起使用：只還原備份中的此資料夾（例如 Data\\Docs）\n"
    u8"  --to 資料夾           與 --restore 一起使用：還原到此資料夾之下（保留備份中的路徑），\n"
    u8"                        不加時還原到原來的資料夾\n"
    u8"  --list                列出 --dest 的還原點：號碼、日期及備份的資料夾（以 Tab 分隔）\n"
    u8"  --verify              不開視窗，比對來源資料夾（--source，或上次的選擇）與它在備份\n"
    u8"                        目地資料夾（--dest，或上次的選擇）中最新的備份：每個檔案及\n"
    u8"                        資料夾都在，大小及修改時間相同。只讀取，不寫入任何檔案\n"
    u8"  --full                與 --verify 一起使用：並逐位元組比對每個檔案的內容\n"
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
    u8"--restore 的結束狀態：0 所有檔案都已還原，1 有些檔案或資料夾無法還原，或已存在但與\n"
    u8"  備份中的不同而未覆蓋（已全部列出），2 沒有還原：選項有誤、沒有這個還原點或日期、\n"
    u8"  --folder 不在備份中、--to 在備份資料夾之內、無法建立欲還原資料夾\n"
    u8"--verify 的結束狀態：0 沒有差異，1 有差異（已全部列出），\n"
    u8"  2 無法驗證：選項有誤、沒有設定檔、沒有此來源資料夾的備份記錄、備份資料夾不存在、\n"
    u8"  無法讀取來源資料夾或備份記錄\n"
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
    case CommandLine::Action::Restore:
        return runRestore(line, console);
    case CommandLine::Action::List:
        return runList(line, console);
    case CommandLine::Action::Verify:
        return runVerify(line, console);
    case CommandLine::Action::Backup:
        break;
    }
    return runBackup(line, console);
}

} // namespace cli
