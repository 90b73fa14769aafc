#include "app/dial_errors.h"

#include <cstdint>
#include <iterator>

#include "platform/dialup/dialup.h"

namespace qzs::app {
namespace {

struct CodeText {
    int code;
    const char* text;
};

constexpr CodeText kRasErrors[] = {
    {0, "エラーなし"},
    {-2, "関数は実装されていない"},
    {-3, "原因不明のエラー"},
    {-4, "メモリ不足"},
    {-5, "引数が異常"},
    {-6, "ハンドルが異常"},
    {-7, "指定のサイズが異常"},
    {-8, "サポートされていない機能"},
    {-9, "既に作成済み"},
    {-10, "作成されていない"},
    {-11, "このＯＳではサポートされていない機能"},
    {-1003, "ISiteインターフェイスをインスタンス化できない"},
    {-1004, "ISiteインターフェイスが見つからない"},
    {-1005, "指定の言語(IActiveScript)がインスタンス化できない"},
    {-1006, "IActiveScriptParseがインスタンス化できない"},
    {-1007, "IActiveScriptSiteがIActiveScriptへ設定できない"},
    {-1008, "IActiveScriptParseのInitNew()が実行できない"},
    {-1009, "IActiveScriptにアイテムを追加できない"},
    {-1010, "ScriptTypeプロパティで設定されている言語が見つからない"},
    {-2001, "指定のバッファが異常"},
    {-2002, "Phonebookが開けない"},
    {-2003, "Entryが見つからない"},
    {-2004, "Dial()が呼び出されていない (接続中ではない)"},
    {-2005, "Dial()はすでに呼び出されている (接続中)"},
    {-2006, "指定のバッファサイズが小さい"},
    {-2007, "指定のプロコルでは接続していない（Protocol not configured）"},
    {-2008, "指定のEntryのサイズが大きい"},
    {-2009, "指定のPhoneNumberのサイズが大きい"},
    {-2010, "指定のPhoneNumberのサイズが大きい"},
    {-2011, "指定のUserNameのサイズが大きい"},
    {-2012, "指定のPasswordのサイズが大きい"},
    {-2013, "指定のDomainのサイズが大きい"},
    {-2014, "Already exists"},
    {-2015, "IRasEntryインターフェイスをインスタンス化できない"},
    {-2016, "指定のDevice Typeのサイズが大きい"},
    {-2017, "指定のDevice Infoのサイズが大きい"},
};

// -3001 downwards.
constexpr const char* kSocketErrors[] = {
    "NetbiosとIPX/SPXがインストールされていません",
    "IPアドレスではない",
    "ホスト名ではない",
    "ホスト名が見つからない",
    "IPアドレスが見つからない",
    "MXレコードが見つかりません",
    "ソケットをオープンできない",
    "ソケットがクローズできない",
    "ioctrlsocketでエラー",
    "bindでエラー",
    "selectでエラー",
    "DNSへの要求でタイムアウト",
    "sendtoでエラー",
    "recvfromでエラー",
    "recvfromが不正なエラーを返した",
    "不正なパケットを受信",
    "アクセス違反",
    "domainが与えられていない",
    "domain名が長すぎる",
    "パケットの識別番号が要求時と違う",
    "dns format error",
    "dns server failure",
    "dns name error",
    "dns not implemented",
    "dns refused",
    "dns unknown error",
    "non authoritative answer",
    "不正なパケット",
};

// 0x80000001 onwards; null where the range has no error.
constexpr const char* kLineErrors[] = {
    "LINEERR_ALLOCATED",
    "LINEERR_BADDEVICEID",
    "LINEERR_BEARERMODEUNAVAIL",
    nullptr,  // 0x80000004
    "LINEERR_CALLUNAVAIL",
    "LINEERR_COMPLETIONOVERRUN",
    "LINEERR_CONFERENCEFULL",
    "LINEERR_DIALBILLING",
    "LINEERR_DIALDIALTONE",
    "LINEERR_DIALPROMPT",
    "LINEERR_DIALQUIET",
    "LINEERR_INCOMPATIBLEAPIVERSION",
    "LINEERR_INCOMPATIBLEEXTVERSION",
    "LINEERR_INIFILECORRUPT",
    "LINEERR_INUSE",
    "LINEERR_INVALADDRESS",
    "LINEERR_INVALADDRESSID",
    "LINEERR_INVALADDRESSMODE",
    "LINEERR_INVALADDRESSSTATE",
    "LINEERR_INVALAPPHANDLE",
    "LINEERR_INVALAPPNAME",
    "LINEERR_INVALBEARERMODE",
    "LINEERR_INVALCALLCOMPLMODE",
    "LINEERR_INVALCALLHANDLE",
    "LINEERR_INVALCALLPARAMS",
    "LINEERR_INVALCALLPRIVILEGE",
    "LINEERR_INVALCALLSELECT",
    "LINEERR_INVALCALLSTATE",
    "LINEERR_INVALCALLSTATELIST",
    "LINEERR_INVALCARD",
    "LINEERR_INVALCOMPLETIONID",
    "LINEERR_INVALCONFCALLHANDLE",
    "LINEERR_INVALCONSULTCALLHANDLE",
    "LINEERR_INVALCOUNTRYCODE",
    "LINEERR_INVALDEVICECLASS",
    "LINEERR_INVALDEVICEHANDLE",
    "LINEERR_INVALDIALPARAMS",
    "LINEERR_INVALDIGITLIST",
    "LINEERR_INVALDIGITMODE",
    "LINEERR_INVALDIGITS",
    "LINEERR_INVALEXTVERSION",
    "LINEERR_INVALGROUPID",
    "LINEERR_INVALLINEHANDLE",
    "LINEERR_INVALLINESTATE",
    "LINEERR_INVALLOCATION",
    "LINEERR_INVALMEDIALIST",
    "LINEERR_INVALMEDIAMODE",
    "LINEERR_INVALMESSAGEID",
    nullptr,  // 0x80000031
    "LINEERR_INVALPARAM",
    "LINEERR_INVALPARKID",
    "LINEERR_INVALPARKMODE",
    "LINEERR_INVALPOINTER",
    "LINEERR_INVALPRIVSELECT",
    "LINEERR_INVALRATE",
    "LINEERR_INVALREQUESTMODE",
    "LINEERR_INVALTERMINALID",
    "LINEERR_INVALTERMINALMODE",
    "LINEERR_INVALTIMEOUT",
    "LINEERR_INVALTONE",
    "LINEERR_INVALTONELIST",
    "LINEERR_INVALTONEMODE",
    "LINEERR_INVALTRANSFERMODE",
    "LINEERR_LINEMAPPERFAILED",
    "LINEERR_NOCONFERENCE",
    "LINEERR_NODEVICE",
    "LINEERR_NODRIVER",
    "LINEERR_NOMEM",
    "LINEERR_NOREQUEST",
    "LINEERR_NOTOWNER",
    "LINEERR_NOTREGISTERED",
    "LINEERR_OPERATIONFAILED",
    "LINEERR_OPERATIONUNAVAIL",
    "LINEERR_RATEUNAVAIL",
    "LINEERR_RESOURCEUNAVAIL",
    "LINEERR_REQUESTOVERRUN",
    "LINEERR_STRUCTURETOOSMALL",
    "LINEERR_TARGETNOTFOUND",
    "LINEERR_TARGETSELF",
    "LINEERR_UNINITIALIZED",
    "LINEERR_USERUSERINFOTOOBIG",
    "LINEERR_REINIT",
    "LINEERR_ADDRESSBLOCKED",
    "LINEERR_BILLINGREJECTED",
    "LINEERR_INVALFEATURE",
    "LINEERR_NOMULTIPLEINSTANCE",
};
static_assert(std::size(kLineErrors) == 0x56);

constexpr std::uint32_t kFirstLineError = 0x80000001u;
constexpr std::uint32_t kInvalidCallHandle = 0x80000018u;

}  // namespace

std::optional<std::string> KnownRasErrorText(int code) {
    for (const CodeText& e : kRasErrors) {
        if (e.code == code) return std::string(e.text);
    }
    if (code <= -3001 && code >= -3000 - static_cast<int>(std::size(kSocketErrors))) {
        return std::string(kSocketErrors[-3001 - code]);
    }
    return std::nullopt;
}

std::string RasErrorText(int code, plat::DialUpProvider* provider, MessagePort* messages,
                         const std::function<void()>& hide_connecting) {
    if (std::optional<std::string> known = KnownRasErrorText(code)) return *known;
    std::string text;
    if (code >= 600 && code <= 999 && provider != nullptr) text = provider->ErrorText(code);
    // A provider number the provider has no text for is as unknown as any other.
    if (text.empty()) text = "不明なエラー";
    if (hide_connecting) hide_connecting();
    if (messages != nullptr) {
        messages->ShowMessage("PPPエラー  " + text, "PPPエラー", MessageIcon::kNone,
                              MessageButtons::kOk);
    }
    return text;
}

std::string LineErrorName(int code) {
    const std::uint32_t value = static_cast<std::uint32_t>(code);
    if (value < kFirstLineError || value >= kFirstLineError + std::size(kLineErrors)) return {};
    const char* name = kLineErrors[value - kFirstLineError];
    return name != nullptr ? name : std::string();
}

int LineErrorText(int code, std::string_view caption, MessagePort* messages) {
    const std::string name = LineErrorName(code);
    if (name.empty()) return code;
    const std::string text = static_cast<std::uint32_t>(code) == kInvalidCallHandle
                                 ? std::string("通話ハンドル無効エラー")
                                 : " " + name;
    if (messages == nullptr) return kIdOk;
    return messages->ShowMessage(text, caption, MessageIcon::kNone, MessageButtons::kOk);
}

}  // namespace qzs::app
