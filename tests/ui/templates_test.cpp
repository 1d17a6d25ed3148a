// The two dialog templates and the windows built from them: controls, positions, sizes and styles.
#include "res/templates.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog.h"
#include "ui/qt_widgets.h"
#include "win32/codepage.h"

namespace {

using win32::Sjis;

const res::StDlgControl* Find(const res::StDlgTemplate& t, int id) {
  for (const auto& c : t.controls)
    if (c.id == id) return &c;
  return nullptr;
}

TEST(TemplatesTest, ConditionsTemplateHoldsItsControlsInTabOrder) {
  const res::StDlgTemplate* t = res::DialogTemplate(res::kIddConditions);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->caption, Sjis("科目内訳書 - 集計条件"));
  EXPECT_EQ(t->font, Sjis("ＭＳ Ｐゴシック"));
  EXPECT_EQ(t->point_size, 9);
  EXPECT_EQ(t->cx, 255);
  EXPECT_EQ(t->cy, 157);
  EXPECT_EQ(t->style, res::kDlgSysMenu);
  std::vector<int> ids;
  for (const auto& c : t->controls) ids.push_back(c.id);
  EXPECT_EQ(ids,
            (std::vector<int>{1005, 1006, 1007, 1008, 1009, 1011, 1010, 1012, 1013, 1000, 1004, 1014, 1015,
                              1001, 1002, 1003, res::kIdcStatic, res::kIdcStatic, res::kIdcStatic}));
  std::vector<int> tab_stops;
  for (const auto& c : t->controls)
    if (c.style & res::kCtlTabStop) tab_stops.push_back(c.id);
  EXPECT_EQ(tab_stops, (std::vector<int>{1000, 1004, 1015, 1001, 1002, 1003}));

  const auto* month = Find(*t, 1000);
  EXPECT_EQ(month->cls, res::CtlClass::kEdit);
  EXPECT_EQ(month->style, res::kCtlNumber | res::kCtlRight | res::kCtlBorder | res::kCtlTabStop);
  EXPECT_EQ(month->limit, 2);
  EXPECT_EQ((std::array<int, 4>{month->x, month->y, month->cx, month->cy}),
            (std::array<int, 4>{111, 50, 18, 12}));
  const auto* path = Find(*t, 1015);
  EXPECT_EQ(path->style, res::kCtlBorder | res::kCtlAutoHScroll | res::kCtlTabStop);
  EXPECT_EQ(path->limit, 255);
  const auto* group = Find(*t, 1014);
  EXPECT_EQ(group->cls, res::CtlClass::kGroupBox);
  EXPECT_EQ(group->text, Sjis("出力先(&O)"));
  EXPECT_EQ((std::array<int, 4>{group->x, group->y, group->cx, group->cy}),
            (std::array<int, 4>{7, 93, 241, 35}));
  EXPECT_EQ(Find(*t, 1010)->style, res::kCtlRight);
  EXPECT_EQ(Find(*t, 1012)->style, res::kCtlCenter);
  EXPECT_EQ(Find(*t, 1004)->cls, res::CtlClass::kCheckBox);
  EXPECT_EQ(Find(*t, 1004)->text, Sjis("税込みで集計する。(&Z)"));
  for (int id : {1001, 1002, 1003}) {
    EXPECT_EQ(Find(*t, id)->cls, res::CtlClass::kPushButton);
    EXPECT_EQ(Find(*t, id)->style & res::kCtlDefault, 0u) << id;  // no default push button
  }
  EXPECT_EQ(Find(*t, 1003)->text, Sjis("キャンセル(Esc)"));
  EXPECT_EQ(t->controls.back().text, Sjis("："));
  EXPECT_EQ(t->controls.back().y, 49);
}

TEST(TemplatesTest, ProgressTemplateHasTwoBorderedBarsOneSmooth) {
  const res::StDlgTemplate* t = res::DialogTemplate(res::kIddProgress);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->caption, Sjis("集計中"));
  EXPECT_EQ(t->cx, 221);
  EXPECT_EQ(t->cy, 45);
  EXPECT_EQ(t->style, res::kDlgSystemModal);  // no system menu, not visible at creation
  ASSERT_EQ(t->controls.size(), 2u);
  const auto& overall = t->controls[0];
  const auto& activity = t->controls[1];
  EXPECT_EQ(overall.id, 1016);
  EXPECT_EQ(overall.cls, res::CtlClass::kProgress);
  EXPECT_EQ(overall.style, res::kCtlBorder | res::kCtlSmooth);
  EXPECT_EQ((std::array<int, 4>{overall.x, overall.y, overall.cx, overall.cy}),
            (std::array<int, 4>{5, 6, 211, 22}));
  EXPECT_EQ(activity.id, 1017);
  EXPECT_EQ(activity.style, res::kCtlBorder);
  EXPECT_EQ((std::array<int, 4>{activity.x, activity.y, activity.cx, activity.cy}),
            (std::array<int, 4>{5, 29, 211, 10}));
  EXPECT_EQ(res::DialogTemplate(999), nullptr);
}

TEST(TemplatesTest, ConditionsWindowHasTheWidgetsAndStylesOfItsTemplate) {
  ui::Dialog dlg(res::kIddConditions);
  ASSERT_TRUE(dlg.CreateHidden());
  QWidget* wnd = ui::WindowOf(dlg.GetSafeHwnd());
  EXPECT_EQ(wnd->windowTitle(), QStringLiteral("科目内訳書 - 集計条件"));
  EXPECT_TRUE(wnd->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(wnd->windowFlags() & Qt::WindowStaysOnTopHint);

  auto* month = dynamic_cast<QLineEdit*>(ui::ControlOf(dlg, 1000));
  ASSERT_NE(month, nullptr);
  EXPECT_TRUE(month->alignment() & Qt::AlignRight);
  EXPECT_TRUE(month->hasFrame());
  EXPECT_EQ(month->focusPolicy(), Qt::StrongFocus);
  auto* from = dynamic_cast<QLabel*>(ui::ControlOf(dlg, 1010));
  ASSERT_NE(from, nullptr);
  EXPECT_TRUE(from->alignment() & Qt::AlignRight);
  EXPECT_EQ(from->focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(dynamic_cast<QLabel*>(ui::ControlOf(dlg, 1012))->alignment() & Qt::AlignHCenter);
  // The mnemonic label reaches the month edit.
  EXPECT_EQ(dynamic_cast<QLabel*>(ui::ControlOf(dlg, 1013))->buddy(), month);
  EXPECT_NE(dynamic_cast<QGroupBox*>(ui::ControlOf(dlg, 1014)), nullptr);
  EXPECT_NE(dynamic_cast<QCheckBox*>(ui::ControlOf(dlg, 1004)), nullptr);
  for (int id : {1001, 1002, 1003}) {
    auto* b = dynamic_cast<QPushButton*>(ui::ControlOf(dlg, id));
    ASSERT_NE(b, nullptr) << id;
    EXPECT_FALSE(b->isDefault());
    EXPECT_FALSE(b->autoDefault());
  }
  EXPECT_EQ(dlg.GetDlgItemText(1001), win32::Sjis("参照(&D)..."));
  EXPECT_EQ(dlg.GetDlgItemText(1008), win32::Sjis(" 2002/01/11～2002/12/31"));
  EXPECT_TRUE(dlg.IsDlgItemEnabled(1015));
}

TEST(TemplatesTest, ProgressWindowIsTopmostWithoutCloseBoxAndHidden) {
  ui::Dialog dlg(res::kIddProgress);
  ASSERT_TRUE(dlg.Create());
  QWidget* wnd = ui::WindowOf(dlg.GetSafeHwnd());
  EXPECT_FALSE(dlg.IsWindowVisible());
  EXPECT_TRUE(wnd->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(wnd->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(wnd->windowFlags() & Qt::WindowSystemMenuHint);
  EXPECT_EQ(wnd->size(), QSize(387, 73));  // 221 x 45 dialog units at 7 x 13
  auto* overall = dynamic_cast<ui::detail::BarWidget*>(ui::ControlOf(dlg, 1016));
  auto* activity = dynamic_cast<ui::detail::BarWidget*>(ui::ControlOf(dlg, 1017));
  ASSERT_NE(overall, nullptr);
  ASSERT_NE(activity, nullptr);
  EXPECT_TRUE(overall->Smooth());
  EXPECT_FALSE(activity->Smooth());
  EXPECT_EQ(overall->geometry(), QRect(9, 10, 369, 36));
  EXPECT_EQ(activity->geometry(), QRect(9, 47, 369, 16));
  dlg.ShowWindow(ui::SW_SHOW);
  EXPECT_TRUE(dlg.IsWindowVisible());
}

}  // namespace
