#include "app/ComputerBrowser.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "platform/LangDispatcher.h"
#include "platform/MessageBox.h"

const QString TComputerNameDialog::kDefaultHostsFile = QStringLiteral("/etc/hosts");

namespace {

const platform::StringTable& Texts() {
    static const platform::StringTable table("TComputerNameDialog", {
                                                                        {"OkButton", "Ok"},
                                                                        {"CancelButton", "Отмена"},
                                                                    });
    return table;
}

void appendOnce(QStringList& names, const QString& name) {
    if (!name.isEmpty() && !names.contains(name))
        names.append(name);
}

}  // namespace

QStringList HostNamesOfHostsFile(const QByteArray& text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QStringList names;
    for (const QByteArray& rawLine : text.split('\n')) {
        QString line = QString::fromUtf8(rawLine);
        line.truncate(line.indexOf(u'#') < 0 ? line.size() : line.indexOf(u'#'));
        const QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < fields.size(); ++i)
            appendOnce(names, fields[i]);
    }
    return names;
}

QStringList KnownComputerNames(const QStringList& usedServers, const QString& hostsFile) {
    QStringList names;
    for (const QString& server : usedServers)
        appendOnce(names, server);
    QFile file(hostsFile);
    if (file.open(QIODevice::ReadOnly))
        for (const QString& name : HostNamesOfHostsFile(file.readAll()))
            appendOnce(names, name);
    return names;
}

TComputerNameDialog::TComputerNameDialog(const QStringList& names, const QString& caption,
                                         QWidget* owner)
    : QDialog(owner) {
    setObjectName("SCD");
    setWindowTitle(caption);
    setFont(QApplication::font());  // not the owner's smaller dialog font
    Computers = new QListWidget(this);
    Computers->setObjectName("Computers");
    Computers->addItems(names);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(Texts()("OkButton"));
    ok->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(Texts()("CancelButton"));
    connect(Computers, &QListWidget::currentRowChanged, ok,
            [ok](int row) { ok->setEnabled(row >= 0); });
    connect(Computers, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Computers);
    layout->addWidget(buttons);
    resize(300, 320);
}

std::optional<QString> TComputerNameDialog::ComputerName() const {
    const QListWidgetItem* item = Computers->currentItem();
    if (!item || item->text().isEmpty())
        return std::nullopt;
    return item->text();
}

std::optional<QString> BrowseComputerName(QWidget* owner, const QString& caption,
                                          const QStringList& names) {
    TComputerNameDialog dialog(names, caption, owner);
    if (platform::runModal(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.ComputerName();
}
