#include "app/ProgressForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "platform/LangDispatcher.h"

TFormProgress* FormProgress = nullptr;

const platform::StringTable& ProgressTexts() {
    static const platform::StringTable table("TFormProgress",
                                             {
                                                 {"Caption", " Выполнение операции"},
                                                 {"lbWork", "Формирование отчета"},
                                                 {"Label1", "Обрабатывается страница :"},
                                                 {"btCancel", "Отменить"},
                                             });
    return table;
}

TFormProgress::TFormProgress(QWidget* owner)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    FormProgress = this;
    const auto& t = ProgressTexts();
    setObjectName("FormProgress");
    setWindowTitle(t("Caption"));
    setModal(false);
    resize(kDesignWidth, kDesignHeight);

    lbWork = new QLabel(t("lbWork"), this);
    lbWork->setObjectName("lbWork");
    lbWork->setAlignment(Qt::AlignCenter);
    Label1 = new QLabel(t("Label1"), this);
    Label1->setObjectName("Label1");
    PageCount = new QLabel(this);
    PageCount->setObjectName("PageCount");
    PageCount->setAlignment(Qt::AlignCenter);
    PageCount->setFixedWidth(50);
    btCancel = new QPushButton(t("btCancel"), this);
    btCancel->setObjectName("btCancel");
    connect(btCancel, &QPushButton::clicked, this, [this] {
        if (OnCancel)
            OnCancel();
    });

    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(Label1);
    pageRow->addWidget(PageCount);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btCancel);
    bottom->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbWork);
    layout->addLayout(pageRow);
    layout->addStretch();
    layout->addLayout(bottom);
}

TFormProgress::~TFormProgress() {
    if (FormProgress == this)
        FormProgress = nullptr;
}

void TFormProgress::showEvent(QShowEvent* event) {
    if (QWidget* owner = parentWidget())
        move(owner->geometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TFormProgress::reject() {
    if (OnCancel)
        OnCancel();
}
