#include "app/DialogAboutUnit.h"

#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/Version.h"
#include "platform/LangDispatcher.h"

namespace {

const platform::StringTable& texts() {
    static const platform::StringTable table(
        "TDialogAbout", {
                            {"Caption", "О программе"},
                            {"ProgramName", "Генератор отчетов"},
                            {"ProductName", ""},
                            {"Version", "Версия"},
                            {"ProductVersion", "Версия"},
                            {"VersionFormat", "Версия %1.%2 (выпуск %3, постройка %4)"},
                            {"ProductFormat", "%1"},
                            {"ProductVersionFormat", "Версия %1.%2 (выпуск %3)"},
                            {"Maker", "© Команда Vellumar, 2009–%1"},
                            {"OKButton", "OK"},
                        });
    return table;
}

}  // namespace

TDialogAbout::TDialogAbout(QWidget* owner) : QDialog(owner) {
    setObjectName("DialogAbout");
    setWindowTitle(texts()("Caption"));

    InfoPanel = new QFrame(this);
    InfoPanel->setObjectName("InfoPanel");
    InfoPanel->setFrameShape(QFrame::StyledPanel);
    InfoPanel->setFixedSize(330, 150);

    ProgramIcon = new QLabel(InfoPanel);
    ProgramIcon->setPixmap(QIcon(":/icons/mainicon.svg").pixmap(48, 48));
    ProgramIcon->setAlignment(Qt::AlignTop);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, InfoPanel);
        l->setObjectName(name);
        return l;
    };
    ProgramName = label("ProgramName", texts()("ProgramName"));
    QFont bold = ProgramName->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    ProgramName->setFont(bold);
    ProductName = label("ProductName", texts()("ProductName"));
    Version = label("Version", texts()("Version"));
    ProductVersion = label("ProductVersion", texts()("ProductVersion"));
    Maker = label("Maker", QString());
    Maker->setText(texts()("Maker").arg(QDate::currentDate().year()));
    Maker->setWordWrap(true);

    auto* textColumn = new QVBoxLayout;
    for (QLabel* l : {ProgramName, ProductName, Version, ProductVersion})
        textColumn->addWidget(l);
    textColumn->addStretch();
    textColumn->addWidget(Maker);
    auto* panelLayout = new QHBoxLayout(InfoPanel);
    panelLayout->addWidget(ProgramIcon);
    panelLayout->addLayout(textColumn, 1);

    OKButton = new QPushButton(texts()("OKButton"), this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(InfoPanel);
    layout->addWidget(OKButton, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FillVersionLabels();
}

std::optional<std::array<int, 3>> TDialogAbout::ParseProductVersion(const QString& text) {
    const QStringList parts = text.split('.');
    if (parts.size() != 3)
        return std::nullopt;
    std::array<int, 3> numbers{};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        numbers[i] = parts[i].toInt(&ok);
        if (!ok || numbers[i] < 0)
            return std::nullopt;
    }
    if (numbers[2] > 255)
        return std::nullopt;
    return numbers;
}

// Each label is filled on its own: a version string that does not read leaves its label as
// designed and the others still show.
void TDialogAbout::FillVersionLabels() {
    using namespace app::version;
    Version->setText(texts()("VersionFormat").arg(kMajor).arg(kMinor).arg(kRelease).arg(kBuild));
    ProductName->setText(texts()("ProductFormat").arg(QString::fromUtf8(kProductName)));
    ProgramName->setText(QString::fromUtf8(kFileDescription));
    if (auto v = ParseProductVersion(QString::fromUtf8(kProductVersion)))
        ProductVersion->setText(
            texts()("ProductVersionFormat").arg((*v)[0]).arg((*v)[1]).arg((*v)[2]));
}

void TDialogAbout::MakeSplash() {
    OKButton->hide();
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    setFixedSize(InfoPanel->width() + 10, InfoPanel->height() + 10);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TDialogAbout::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Like a tooltip-style window: it goes away as soon as the operator clicks elsewhere.
    if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow() &&
        OKButton->isVisible())
        reject();
}
