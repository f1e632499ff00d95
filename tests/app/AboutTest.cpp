// The about window: version labels from the build, the product-version rule, the splash form.
#include <QDate>
#include <QLabel>
#include <QPushButton>

#include "AppFixture.h"
#include "app/DialogAboutUnit.h"
#include "app/Version.h"

TEST(AboutWindow, ProductVersionReadsThreeNumbersWithTheThirdAByte) {
    using V = std::array<int, 3>;
    EXPECT_EQ(TDialogAbout::ParseProductVersion("1.0.0"), (V{1, 0, 0}));
    EXPECT_EQ(TDialogAbout::ParseProductVersion("4.12.255"), (V{4, 12, 255}));
    EXPECT_EQ(TDialogAbout::ParseProductVersion("4.12.256"), std::nullopt);
    EXPECT_EQ(TDialogAbout::ParseProductVersion("4.12"), std::nullopt);
    EXPECT_EQ(TDialogAbout::ParseProductVersion("4.x.1"), std::nullopt);
    EXPECT_EQ(TDialogAbout::ParseProductVersion("1.2.3.4"), std::nullopt);
}

TEST(AboutWindow, LabelsComeFromTheBuildAndTheSplashHidesOk) {
    TDialogAbout about;
    EXPECT_EQ(about.windowTitle(), "О программе");
    EXPECT_EQ(about.Version->text(), QStringLiteral("Версия %1.%2 (выпуск %3, постройка %4)")
                                         .arg(app::version::kMajor)
                                         .arg(app::version::kMinor)
                                         .arg(app::version::kRelease)
                                         .arg(app::version::kBuild));
    EXPECT_TRUE(about.ProductVersion->text().startsWith("Версия "));
    EXPECT_TRUE(about.Maker->text().contains(QString::number(QDate::currentDate().year())));

    about.MakeSplash();
    EXPECT_TRUE(about.OKButton->isHidden());
    EXPECT_TRUE(about.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(about.width(), about.InfoPanel->width() + 10);
    EXPECT_EQ(about.height(), about.InfoPanel->height() + 10);
}
