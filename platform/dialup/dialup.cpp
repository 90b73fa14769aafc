#include "platform/dialup/dialup.h"

#include <algorithm>
#include <iterator>

namespace plat {
namespace {

// pppd's exit statuses and the numbers and texts this system gives them. 5 is a signal that was
// not ours (our own hang-up ends as a plain disconnect).
struct PppdError {
    int exit_status;
    int code;
    const char* text;
};

constexpr PppdError kPppdErrors[] = {
    {1, 601, "PPPの処理中に致命的なエラーが発生しました"},
    {2, 602, "接続先の設定（pppdのオプション）に誤りがあります"},
    {3, 603, "PPPを起動する権限がありません（dipグループへの登録が必要です）"},
    {4, 604, "このシステムのカーネルはPPPに対応していません"},
    {5, 605, "PPPが外部から終了されました"},
    {6, 633, "ポートは使用中です（ロックできません）"},
    {7, 607, "モデムのポートを開けません"},
    {8, 676, "回線が話中か、キャリアが検出されませんでした"},
    {9, 609, "ptyのコマンドを実行できません"},
    {10, 610, "PPPのネゴシエーションに失敗しました"},
    {11, 611, "接続先の認証に失敗しました"},
    {12, 612, "無通信のため切断されました"},
    {13, 613, "接続時間の上限に達したため切断されました"},
    {14, 614, "コールバックの着信待ちです"},
    {15, 678, "接続先が応答しません"},
    {16, 619, "モデムが回線を切断しました"},
    {17, 617, "回線のループバックを検出しました"},
    {18, 618, "モデムの初期化に失敗しました"},
    {19, 691, "認証が拒否されました（ユーザー名またはパスワード）"},
};

constexpr int kUnknownExit = 699;
constexpr const char* kUnknownExitText = "PPPが予期しない状態で終了しました";
constexpr const char* kNotStartedText = "PPP（pppd）を起動できません";

}  // namespace

bool NormaliseDialNumber(std::string_view text, std::string* out) {
    std::string number;
    for (char c : text) {
        if (c == ' ') continue;
        if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) return false;
        number += c;
    }
    if (number.empty() || number.size() > 26) return false;
    *out = std::move(number);
    return true;
}

bool IsPeerName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '~') return false;
    if (name.find("..") != std::string_view::npos) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return c >= ' ' && c < 0x7F && c != '/'; });
}

int PppdExitError(int exit_status) {
    if (exit_status == 0) return 0;
    for (const PppdError& e : kPppdErrors) {
        if (e.exit_status == exit_status) return e.code;
    }
    return kUnknownExit;
}

std::string PppdErrorText(int code) {
    if (code == kUnknownExit) return kUnknownExitText;
    if (code == kPppdNotStarted) return kNotStartedText;
    for (const PppdError& e : kPppdErrors) {
        if (e.code == code) return e.text;
    }
    return {};
}

}  // namespace plat
