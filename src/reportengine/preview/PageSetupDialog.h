// The preview's page set-up dialog: paper (a named size or a custom one), orientation and margins
// of a report's pages. ReadFrom takes the first report page's settings; ApplyTo writes them to
// every report page, after which the preview prepares the report again.
//
// Thread contract: UI thread (a widget); the report must not be preparing meanwhile.
#pragma once

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QRadioButton;

namespace reportengine {

class TfrxReport;

struct PageSettings {
    int PaperSize = 9;                 // the Windows paper code: 9 A4, 256 custom
    double Width = 210, Height = 297;  // mm, portrait
    bool Landscape = false;
    double Left = 10, Top = 10, Right = 10, Bottom = 10;  // mm
    bool operator==(const PageSettings&) const = default;
};

// False when the report has no report page.
bool ReadPageSettings(const TfrxReport& report, PageSettings& settings);
void ApplyPageSettings(TfrxReport& report, const PageSettings& settings);

class TfrxPageSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit TfrxPageSetupDialog(QWidget* parent = nullptr);
    void SetSettings(const PageSettings& settings);
    PageSettings Settings() const;

    QComboBox* PaperCB = nullptr;
    QDoubleSpinBox *WidthE = nullptr, *HeightE = nullptr;
    QRadioButton *PortraitRB = nullptr, *LandscapeRB = nullptr;
    QDoubleSpinBox *LeftE = nullptr, *TopE = nullptr, *RightE = nullptr, *BottomE = nullptr;

private:
    void PaperChanged(int index);
};

}  // namespace reportengine
