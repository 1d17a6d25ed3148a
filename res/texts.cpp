// The text table of the program.
#include "res/texts.h"

#include <array>

#include "win32/codepage.h"

namespace res {

namespace {
constexpr std::array<const char*, static_cast<int>(TextId::kCount_)> kTexts = {
    "科目内訳書",
    "科目内訳書情報の出力が終了しました。\n\nアプリケーションを終了します。",
    "XMLファイルの出力に失敗しました。\n\nアプリケーションを終了します。",
    "動作環境が不正です。\nES_APRPACKAGENAMEが正しくインストールされているか確認してください。",
    "ご利用の連動コンポーネントは、インストールされているES_APRPACKAGENAMEでは使用できません。\n"
    "ES_APRPACKAGENAMEの最新版を入手してインストールしてからご利用ください。",
    "ご利用の連動コンポーネントは、インストールされているES_APRPACKAGENAMEでは使用できません。\n"
    "連動コンポーネントの最新版を入手してインストールしてからご利用ください。",
    "｢科目内訳書｣の集計を中止します。",
    "過去実績データは、連携の対象として使用できません。\n\nアプリケーションを終了します。",
    "集計期間に誤りがあります。\n\n集計期間を設定しなおしてください。",
    "データ出力先が指定されていません。\n\n出力先を指定してください。",
    "ファイル名が指定されていません。",
    "データの出力先に不正な文字が含まれています。\n\n出力先を再入力してください。",
    "ドライブ名が有効でありません。\n\n有効なドライブを指定してください。",
    "指定されたフォルダは存在しません。\n\n作成してもよろしいですか？",
    "フォルダの作成に失敗しました。\n\n出力先を再入力してください。",
    "同名のファイルが存在します。\n\n上書きしてもよろしいですか？",
    "ﾒﾓﾘが不足しています。",
    "保存ファイルを指定",
    "集計中",
    "集計中 %d％",
    "科目内訳書 - 集計条件",
    "出力先",
    " %s",
    " %04d/%02d/%02d～%04d/%02d/%02d",
    "[=製品名=]",
    "[=製品ﾊﾞｰｼﾞｮﾝ=]",
    "22.03.00",  // string resource 1: the version this program reports itself as, whatever the package's
    "%d 文字以内で入力してください。",
    "このファイル名には使用できない文字が含まれています。",
    "指定されたファイルには出力できません。\n\n出力先を再入力してください。",
    "出力先のパスが長すぎます。\n\n259 バイト以内で入力してください。",
};
}  // namespace

const std::string& Text(TextId id) {
  static const auto converted = [] {
    std::array<std::string, kTexts.size()> out;
    for (std::size_t i = 0; i < kTexts.size(); ++i) out[i] = win32::Sjis(kTexts[i]);
    return out;
  }();
  return converted[static_cast<std::size_t>(id)];
}

const char* TextUtf8(TextId id) { return kTexts[static_cast<std::size_t>(id)]; }

}  // namespace res
