#include "reportengine/dialogs/StandardViews.h"

#include "platform/DateTime.h"
#include "reportengine/dialogs/ControlView.h"
#include "reportengine/model/DialogControls.h"
#include "reportengine/model/Pages.h"
#include "reportengine/model/Report.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

namespace reportengine {

using C = TfrxDialogControl;

namespace {

Qt::Alignment AlignmentOf(C::TAlignment a) {
    switch (a) {
        case C::taRightJustify:
            return Qt::AlignRight | Qt::AlignVCenter;
        case C::taCenter:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// The view of one control class T with widget W.
template <class T, class W>
class TView : public TfrxControlView {
public:
    explicit TView(T& control) : TfrxControlView(control), FModel(control) {}

protected:
    T& Model() const { return FModel; }
    W* Edit() const { return static_cast<W*>(Widget()); }

private:
    T& FModel;
};

class TLabelView : public TView<TfrxLabelControl, QLabel> {
public:
    using TView::TView;
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override { return new QLabel(parent); }
    void UpdateWidget() override {
        Edit()->setText(Model().Caption);
        Edit()->setAlignment((AlignmentOf(Model().Alignment) & Qt::AlignHorizontal_Mask) |
                             Qt::AlignTop);
        Edit()->setWordWrap(Model().WordWrap);
        if (Model().AutoSize && !Model().WordWrap)
            Edit()->resize(Edit()->sizeHint());
    }
};

class TButtonView : public TView<TfrxButtonControl, QPushButton> {
public:
    using TView::TView;
    bool ReportsClicks() const override { return true; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* button = new QPushButton(parent);
        QObject::connect(button, &QPushButton::clicked, button, [this] { Click(); });
        return button;
    }
    void UpdateWidget() override {
        Edit()->setText(Model().Caption);
        Edit()->setDefault(Model().Default);
    }

private:
    // As the operator expects from a dialog button: its ModalResult becomes the page's first,
    // so that OnClick may still veto closing by setting the page's ModalResult to mrNone.
    void Click() {
        if (Updating())
            return;
        if (auto* page = qobject_cast<TfrxDialogPage*>(Model().Page()))
            if (Model().ModalResult != mrNone)
                page->ModalResult = Model().ModalResult;
        Fire(Model().OnClick);
    }
};

class TEditView : public TView<TfrxEditControl, QLineEdit> {
public:
    using TView::TView;

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [this](const QString& text) {
            Model().Text = text;
            Fire(Model().OnChange);
        });
        return edit;
    }
    void UpdateWidget() override {
        const TfrxEditControl& m = Model();
        // The limit holds the operator's typing; a longer text the script sets stays whole.
        Edit()->setMaxLength(m.MaxLength > 0 ? std::max(m.MaxLength, int(m.Text.size())) : 32767);
        Edit()->setEchoMode(m.PasswordChar.isEmpty() || m.PasswordChar == QLatin1String("#0")
                                ? QLineEdit::Normal
                                : QLineEdit::Password);
        Edit()->setReadOnly(m.ReadOnly);
        if (Edit()->text() != m.Text)
            Edit()->setText(m.Text);
    }
};

class TMaskEditView : public TView<TfrxMaskEditControl, QLineEdit> {
public:
    using TView::TView;

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* edit = new QLineEdit(parent);
        QObject::connect(edit, &QLineEdit::textEdited, edit, [this, edit] {
            Model().Text = edit->text();
            Fire(Model().OnChange);
        });
        return edit;
    }
    void UpdateWidget() override {
        const QString mask = QtInputMask(Model().EditMask);
        if (Edit()->inputMask() != mask)
            Edit()->setInputMask(mask);
        Edit()->setReadOnly(Model().ReadOnly);
        if (Edit()->text() != Model().Text)
            Edit()->setText(Model().Text);
    }
};

class TMemoView : public TView<TfrxMemoControl, QPlainTextEdit> {
public:
    using TView::TView;

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* memo = new QPlainTextEdit(parent);
        QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [this, memo] {
            if (Updating())
                return;
            Model().Lines = memo->toPlainText().split(QLatin1Char('\n'));
            Fire(Model().OnChange);
        });
        return memo;
    }
    void UpdateWidget() override {
        const TfrxMemoControl& m = Model();
        Edit()->setReadOnly(m.ReadOnly);
        Edit()->setLineWrapMode(m.WordWrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        const bool h = m.ScrollBars == C::ssHorizontal || m.ScrollBars == C::ssBoth;
        const bool v = m.ScrollBars == C::ssVertical || m.ScrollBars == C::ssBoth;
        Edit()->setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        Edit()->setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        const QString text = m.Lines.join(QLatin1Char('\n'));
        if (Edit()->toPlainText() != text)
            Edit()->setPlainText(text);
    }
};

class TCheckBoxView : public TView<TfrxCheckBoxControl, QCheckBox> {
public:
    using TView::TView;
    bool ReportsClicks() const override { return true; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* box = new QCheckBox(parent);
        QObject::connect(box, &QCheckBox::clicked, box, [this, box] {
            const Qt::CheckState s = box->checkState();
            Model().State = s == Qt::Checked            ? C::cbChecked
                            : s == Qt::PartiallyChecked ? C::cbGrayed
                                                        : C::cbUnchecked;
            Fire(Model().OnClick);
        });
        return box;
    }
    void UpdateWidget() override {
        const TfrxCheckBoxControl& m = Model();
        Edit()->setText(m.Caption);
        Edit()->setLayoutDirection(m.Alignment == C::taLeftJustify ? Qt::RightToLeft
                                                                   : Qt::LeftToRight);
        Edit()->setTristate(m.AllowGrayed || m.State == C::cbGrayed);
        Edit()->setCheckState(m.State == C::cbChecked  ? Qt::Checked
                              : m.State == C::cbGrayed ? Qt::PartiallyChecked
                                                       : Qt::Unchecked);
    }
};

class TRadioView : public TView<TfrxRadioButtonControl, QRadioButton> {
public:
    using TView::TView;
    bool ReportsClicks() const override { return true; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* radio = new QRadioButton(parent);
        // Checking one radio button unchecks its neighbours, also when the script checks it.
        QObject::connect(radio, &QRadioButton::toggled, radio,
                         [this](bool on) { Model().Checked = on; });
        QObject::connect(radio, &QRadioButton::clicked, radio, [this] { Fire(Model().OnClick); });
        return radio;
    }
    void UpdateWidget() override {
        Edit()->setText(Model().Caption);
        Edit()->setLayoutDirection(Model().Alignment == C::taLeftJustify ? Qt::RightToLeft
                                                                         : Qt::LeftToRight);
        if (Edit()->isChecked() == Model().Checked)
            return;
        // An exclusive group never unchecks its checked button by itself.
        Edit()->setAutoExclusive(Model().Checked);
        Edit()->setChecked(Model().Checked);
        Edit()->setAutoExclusive(true);
    }
};

void SetItems(QListWidget* list, const QStringList& items) {
    bool same = list->count() == items.size();
    for (int i = 0; same && i < items.size(); ++i)
        same = list->item(i)->text() == items[i];
    if (same)
        return;
    list->clear();
    list->addItems(items);
}

class TListBoxView : public TView<TfrxListBoxControl, QListWidget> {
public:
    using TView::TView;
    bool ReportsClicks() const override { return true; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* list = new QListWidget(parent);
        QObject::connect(list, &QListWidget::currentRowChanged, list, [this](int row) {
            if (Updating())
                return;
            Model().ItemIndex = row;
            Fire(Model().OnClick);
        });
        return list;
    }
    void UpdateWidget() override {
        SetItems(Edit(), Model().Items);
        const int index = Model().ItemIndex < Model().Items.size() ? Model().ItemIndex : -1;
        if (Edit()->currentRow() != index)
            Edit()->setCurrentRow(index);
    }
};

class TCheckListBoxView : public TListBoxView {
public:
    explicit TCheckListBoxView(TfrxCheckListBoxControl& control)
        : TListBoxView(control), FList(control) {}

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        QWidget* widget = TListBoxView::CreateWidget(parent);
        auto* list = static_cast<QListWidget*>(widget);
        QObject::connect(list, &QListWidget::itemChanged, list, [this, list](QListWidgetItem* it) {
            if (Updating())
                return;
            const Qt::CheckState s = it->checkState();
            FList.SetStateOf(list->row(it), s == Qt::Checked            ? C::cbChecked
                                            : s == Qt::PartiallyChecked ? C::cbGrayed
                                                                        : C::cbUnchecked);
            Fire(FList.OnClickCheck);
        });
        return widget;
    }
    void UpdateWidget() override {
        TListBoxView::UpdateWidget();
        auto* list = static_cast<QListWidget*>(Widget());
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* it = list->item(i);
            Qt::ItemFlags flags = it->flags() | Qt::ItemIsUserCheckable;
            if (FList.AllowGrayed)
                flags |= Qt::ItemIsUserTristate;
            if (it->flags() != flags)
                it->setFlags(flags);
            const int s = FList.StateOf(i);
            const Qt::CheckState state = s == C::cbChecked  ? Qt::Checked
                                         : s == C::cbGrayed ? Qt::PartiallyChecked
                                                            : Qt::Unchecked;
            if (it->data(Qt::CheckStateRole).isNull() || it->checkState() != state)
                it->setCheckState(state);
        }
    }

private:
    TfrxCheckListBoxControl& FList;
};

class TComboBoxView : public TView<TfrxComboBoxControl, QComboBox> {
public:
    using TView::TView;
    bool ReportsClicks() const override { return true; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* combo = new QComboBox(parent);
        QObject::connect(combo, &QComboBox::activated, combo, [this, combo](int index) {
            Model().ItemIndex = index;
            Model().Text = combo->itemText(index);
            Remember();
            Fire(Model().OnClick);
            Fire(Model().OnChange);
        });
        return combo;
    }
    void UpdateWidget() override {
        TfrxComboBoxControl& m = Model();
        const bool editable = m.Style != C::csDropDownList;
        if (Edit()->isEditable() != editable) {
            Edit()->setEditable(editable);
            if (editable)
                QObject::connect(Edit()->lineEdit(), &QLineEdit::textEdited, Edit(),
                                 [this](const QString& text) { Typed(text); });
        }
        QStringList shown;
        for (int i = 0; i < Edit()->count(); ++i)
            shown << Edit()->itemText(i);
        if (shown != m.Items) {
            Edit()->clear();
            Edit()->addItems(m.Items);
        }
        // The script may have set either ItemIndex or Text: the one it changed wins.
        if (m.ItemIndex != FIndex)
            m.Text =
                m.ItemIndex >= 0 && m.ItemIndex < m.Items.size() ? m.Items[m.ItemIndex] : QString();
        else if (m.Text != FText)
            m.ItemIndex = int(m.Items.indexOf(m.Text));
        if (!editable && m.ItemIndex < 0)
            m.Text.clear();
        Remember();
        const int index = m.ItemIndex < m.Items.size() ? m.ItemIndex : -1;
        if (Edit()->currentIndex() != index)
            Edit()->setCurrentIndex(index);
        if (editable && Edit()->currentText() != m.Text)
            Edit()->setEditText(m.Text);
    }

private:
    void Typed(const QString& text) {
        Model().Text = text;
        Model().ItemIndex = int(Model().Items.indexOf(text));
        Remember();
        Fire(Model().OnChange);
    }
    void Remember() {
        FIndex = Model().ItemIndex;
        FText = Model().Text;
    }
    int FIndex = -2;  // what the widget last showed
    QString FText;
};

class TDateEditView : public TView<TfrxDateEditControl, QDateTimeEdit> {
public:
    using TView::TView;

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* edit = new QDateTimeEdit(parent);
        QObject::connect(edit, &QDateTimeEdit::dateTimeChanged, edit, [this](const QDateTime& v) {
            if (Updating())
                return;
            const double value = platform::QDateTimeToDateTime(v);
            if (Model().Kind == C::dtkTime)
                Model().Time = value - std::floor(value);
            else
                Model().Date = std::floor(value);
            Fire(Model().OnChange);
        });
        return edit;
    }
    void UpdateWidget() override {
        const TfrxDateEditControl& m = Model();
        const bool time = m.Kind == C::dtkTime;
        const QString format = time                        ? QStringLiteral("HH:mm:ss")
                               : m.DateFormat == C::dfLong ? QStringLiteral("d MMMM yyyy 'г.'")
                                                           : QStringLiteral("dd.MM.yyyy");
        if (Edit()->displayFormat() != format)
            Edit()->setDisplayFormat(format);
        Edit()->setCalendarPopup(!time);
        const QDateTime value =
            platform::DateTimeToQDateTime(std::floor(m.Date) + (m.Time - std::floor(m.Time)));
        if (Edit()->dateTime() != value)
            Edit()->setDateTime(value);
    }
};

class TGroupBoxView : public TView<TfrxGroupBoxControl, QGroupBox> {
public:
    using TView::TView;
    QWidget* ChildArea() const override { return Widget(); }
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override { return new QGroupBox(parent); }
    void UpdateWidget() override { Edit()->setTitle(Model().Caption); }
};

QFrame::Shadow ShadowOf(int bevel) {
    return bevel == C::bvLowered ? QFrame::Sunken : QFrame::Raised;
}

class TPanelView : public TView<TfrxPanelControl, QFrame> {
public:
    using TView::TView;
    QWidget* ChildArea() const override { return Widget(); }
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override {
        auto* frame = new QFrame(parent);
        FCaption = new QLabel(frame);
        return frame;
    }
    void UpdateWidget() override {
        const TfrxPanelControl& m = Model();
        const int bevel = m.BevelOuter != C::bvNone ? m.BevelOuter : m.BevelInner;
        Edit()->setFrameShape(bevel == C::bvNone ? QFrame::NoFrame : QFrame::Panel);
        Edit()->setFrameShadow(ShadowOf(bevel));
        Edit()->setLineWidth(std::max(1, m.BevelWidth));
        FCaption->setText(m.Caption);
        FCaption->setAlignment(AlignmentOf(m.Alignment));
        FCaption->setGeometry(Edit()->contentsRect());
        FCaption->lower();
    }

private:
    QLabel* FCaption = nullptr;
};

// Draws the bevel's lines as a lowered or raised 3D edge.
class TBevelWidget : public QWidget {
public:
    TBevelWidget(TfrxBevelControl& model, QWidget* parent) : QWidget(parent), FModel(model) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QColor dark = palette().color(QPalette::Dark);
        const QColor light = palette().color(QPalette::Light);
        const bool lowered = FModel.Style == C::bsLowered;
        const QColor first = lowered ? dark : light, second = lowered ? light : dark;
        const int r = width() - 1, b = height() - 1;
        auto edge = [&](int x1, int y1, int x2, int y2, int dx, int dy) {
            p.setPen(first);
            p.drawLine(x1, y1, x2, y2);
            p.setPen(second);
            p.drawLine(x1 + dx, y1 + dy, x2 + dx, y2 + dy);
        };
        switch (FModel.Shape) {
            case C::bsBox:
            case C::bsFrame:
                p.setPen(first);
                p.drawRect(0, 0, r - 1, b - 1);
                p.setPen(second);
                p.drawRect(1, 1, r - 1, b - 1);
                break;
            case C::bsTopLine:
                edge(0, 0, r, 0, 0, 1);
                break;
            case C::bsBottomLine:
                edge(0, b - 1, r, b - 1, 0, 1);
                break;
            case C::bsLeftLine:
                edge(0, 0, 0, b, 1, 0);
                break;
            case C::bsRightLine:
                edge(r - 1, 0, r - 1, b, 1, 0);
                break;
            case C::bsSpacer:
                break;
        }
    }

private:
    TfrxBevelControl& FModel;
};

class TBevelView : public TView<TfrxBevelControl, TBevelWidget> {
public:
    using TView::TView;
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override { return new TBevelWidget(Model(), parent); }
    void UpdateWidget() override { Edit()->update(); }
};

class TImageView : public TView<TfrxImageControl, QLabel> {
public:
    using TView::TView;
    bool TakesFocus() const override { return false; }

protected:
    QWidget* CreateWidget(QWidget* parent) override { return new QLabel(parent); }
    void UpdateWidget() override {
        const TfrxImageControl& m = Model();
        if (m.FileName != FLoaded) {
            FLoaded = m.FileName;
            QString path = m.FileName;
            const TfrxReport* report = m.Report();
            if (!path.isEmpty() && QFileInfo(path).isRelative() && report &&
                !report->FileName.isEmpty())
                path = QFileInfo(report->FileName).dir().filePath(path);
            FPicture = path.isEmpty() ? QPixmap() : QPixmap(path);
        }
        Edit()->setScaledContents(m.Stretch);
        Edit()->setAlignment(m.Center ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
        Edit()->setPixmap(FPicture);
        if (m.AutoSize && !FPicture.isNull())
            Edit()->resize(FPicture.size());
    }

private:
    QString FLoaded;
    QPixmap FPicture;
};

}  // namespace

QString QtInputMask(const QString& editMask) {
    const QStringList parts = editMask.split(QLatin1Char(';'));
    const QString& mask = parts.value(0);
    if (mask.isEmpty())
        return QString();
    QString result;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar ch = mask[i];
        switch (ch.unicode()) {
            case '!':
                break;
            case '\\':
                if (i + 1 < mask.size())
                    result += QLatin1Char('\\') + mask[++i];
                break;
            case '0':
                result += QLatin1Char('9');
                break;
            case '9':
                result += QLatin1Char('0');
                break;
            case 'L':
                result += QLatin1Char('A');
                break;
            case 'l':
                result += QLatin1Char('a');
                break;
            case 'A':
                result += QLatin1Char('N');
                break;
            case 'a':
                result += QLatin1Char('n');
                break;
            case 'C':
                result += QLatin1Char('X');
                break;
            case 'c':
                result += QLatin1Char('x');
                break;
            case '#':
                result += QLatin1Char('#');
                break;
            case '<':
            case '>':
                result += ch;
                break;
            default:
                // A literal; Qt's own mask characters need an escape.
                if (QStringLiteral("AaNnXx90Dd#HhBb<>!{}[]\\").contains(ch))
                    result += QLatin1Char('\\');
                result += ch;
        }
    }
    const QString blank = parts.value(2);
    result += QLatin1Char(';') + (blank.isEmpty() ? QStringLiteral("_") : blank.left(1));
    return result;
}

void RegisterStandardViews() {
    TfrxControlViews::Register<TfrxLabelControl, TLabelView>();
    TfrxControlViews::Register<TfrxButtonControl, TButtonView>();
    TfrxControlViews::Register<TfrxEditControl, TEditView>();
    TfrxControlViews::Register<TfrxMaskEditControl, TMaskEditView>();
    TfrxControlViews::Register<TfrxMemoControl, TMemoView>();
    TfrxControlViews::Register<TfrxCheckBoxControl, TCheckBoxView>();
    TfrxControlViews::Register<TfrxRadioButtonControl, TRadioView>();
    TfrxControlViews::Register<TfrxListBoxControl, TListBoxView>();
    TfrxControlViews::Register<TfrxCheckListBoxControl, TCheckListBoxView>();
    TfrxControlViews::Register<TfrxComboBoxControl, TComboBoxView>();
    TfrxControlViews::Register<TfrxDateEditControl, TDateEditView>();
    TfrxControlViews::Register<TfrxGroupBoxControl, TGroupBoxView>();
    TfrxControlViews::Register<TfrxPanelControl, TPanelView>();
    TfrxControlViews::Register<TfrxBevelControl, TBevelView>();
    TfrxControlViews::Register<TfrxImageControl, TImageView>();
}

}  // namespace reportengine
