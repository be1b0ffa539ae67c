#include <gtest/gtest.h>

#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QPushButton>

TEST(QtTranslations, QtsOwnButtonsSpeakChinese)
{
    ASSERT_TRUE(folvan::app::installQtChineseTranslations(*QCoreApplication::instance()));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
}
