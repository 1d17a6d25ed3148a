// The dialog templates. Texts are written in UTF-8 here and converted to code page 932 once.
#include "res/templates.h"

#include "win32/codepage.h"

namespace res {

namespace {

using win32::Sjis;

StDlgTemplate MakeConditions() {
  const std::uint32_t kEditStyle = kCtlBorder | kCtlTabStop;
  return {kIddConditions,
          Sjis("科目内訳書 - 集計条件"),
          Sjis("ＭＳ Ｐゴシック"),
          9,
          255,
          157,
          kDlgSysMenu,
          {
              {1005, CtlClass::kStatic, Sjis("事業所名"), 7, 7, 37, 12, 0, 0},
              {1006, CtlClass::kStatic, Sjis(" 会社名"), 56, 7, 165, 12, 0, 0},
              {1007, CtlClass::kStatic, Sjis("会計期間"), 7, 28, 37, 12, 0, 0},
              {1008, CtlClass::kStatic, Sjis(" 2002/01/11～2002/12/31"), 56, 28, 165, 12, 0, 0},
              {1009, CtlClass::kStatic, Sjis("集計期間"), 7, 49, 37, 12, 0, 0},
              {1011, CtlClass::kStatic, Sjis("月度"), 79, 50, 17, 12, 0, 0},
              {1010, CtlClass::kStatic, "??", 56, 50, 18, 12, kCtlRight, 0},
              {1012, CtlClass::kStatic, Sjis("～"), 96, 50, 12, 12, kCtlCenter, 0},
              {1013, CtlClass::kStatic, Sjis("月度(&E)"), 134, 50, 25, 12, 0, 0},
              {1000, CtlClass::kEdit, "", 111, 50, 18, 12, kEditStyle | kCtlNumber | kCtlRight, 2},
              {1004, CtlClass::kCheckBox, Sjis("税込みで集計する。(&Z)"), 7, 70, 85, 12, kCtlTabStop, 0},
              {1014, CtlClass::kGroupBox, Sjis("出力先(&O)"), 7, 93, 241, 35, 0, 0},
              {1015, CtlClass::kEdit, "", 10, 107, 171, 12, kEditStyle | kCtlAutoHScroll, 255},
              {1001, CtlClass::kPushButton, Sjis("参照(&D)..."), 186, 106, 57, 14, kCtlTabStop, 0},
              {1002, CtlClass::kPushButton, Sjis("実行(F12)"), 129, 136, 57, 14, kCtlTabStop, 0},
              {1003, CtlClass::kPushButton, Sjis("キャンセル(Esc)"), 191, 136, 57, 14, kCtlTabStop, 0},
              {kIdcStatic, CtlClass::kStatic, Sjis("："), 43, 7, 8, 12, 0, 0},
              {kIdcStatic, CtlClass::kStatic, Sjis("："), 43, 28, 8, 12, 0, 0},
              {kIdcStatic, CtlClass::kStatic, Sjis("："), 43, 49, 8, 12, 0, 0},
          }};
}

StDlgTemplate MakeProgress() {
  // The two bars' template texts are never shown.
  return {kIddProgress,
          Sjis("集計中"),
          Sjis("ＭＳ Ｐゴシック"),
          9,
          221,
          45,
          kDlgSystemModal,
          {
              {1016, CtlClass::kProgress, "Progress1", 5, 6, 211, 22, kCtlBorder | kCtlSmooth, 0},
              {1017, CtlClass::kProgress, "Progress2", 5, 29, 211, 10, kCtlBorder, 0},
          }};
}

}  // namespace

const StDlgTemplate* DialogTemplate(int id) {
  static const StDlgTemplate conditions = MakeConditions();
  static const StDlgTemplate progress = MakeProgress();
  if (id == kIddConditions) return &conditions;
  if (id == kIddProgress) return &progress;
  return nullptr;
}

}  // namespace res
