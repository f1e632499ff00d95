// The shared base of the export filters' options dialogs: a page range group ("Все",
// "Текущая", "Номера:"), the format's own options in a group box, an "Открыть после экспорта"
// check and OK/Cancel. A format's dialog only adds its controls, each bound to one Q_PROPERTY of
// the filter: the control starts with the property's value and writes it back on OK. Cancel
// leaves the filter untouched.
//
// CreateExportOptionsDialog picks the format's own dialog by the filter's class name and falls
// back to the base alone (page range and "open after export") for a format without one.
//
// Thread/lifetime contract: UI thread only. The dialog keeps a reference to the filter, which
// must outlive it.
#pragma once

#include "reportengine/export/ExportFilter.h"

#include <QDialog>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QFormLayout;

namespace reportengine {

class ExportOptionsDialog : public QDialog {
    Q_OBJECT
public:
    // currentPage: the preview's page, 1-based (for "Текущая"); 0 when there is none.
    ExportOptionsDialog(TfrxCustomExportFilter& filter, int currentPage, QWidget* parent = nullptr);
    ~ExportOptionsDialog() override;

    // Controls bound to the filter's property `property` (its exact Q_PROPERTY name).
    QCheckBox* AddCheck(const char* property, const QString& label);
    // Items: shown text -> property value; the current value selects its item.
    QComboBox* AddCombo(const char* property, const QString& label,
                        const std::vector<std::pair<QString, QVariant>>& items);
    QLineEdit* AddText(const char* property, const QString& label);
    QSpinBox* AddNumber(const char* property, const QString& label, int min, int max);

    bool OpenAfterExport() const;
    // The page text the range group gives ("" all pages, "3", or the typed numbers).
    QString PageNumbers() const;

    QRadioButton* AllPagesRB = nullptr;
    QRadioButton* CurrentPageRB = nullptr;
    QRadioButton* PageNumbersRB = nullptr;
    QLineEdit* PageNumbersE = nullptr;
    QCheckBox* OpenAfterCB = nullptr;

    void accept() override;  // writes the bound properties and the page range, then closes

protected:
    TfrxCustomExportFilter& Filter() { return FFilter; }

private:
    TfrxCustomExportFilter& FFilter;
    int FCurrentPage;
    QGroupBox* FOptionsBox = nullptr;
    QFormLayout* FOptions = nullptr;
    std::vector<std::function<void()>> FWriters;  // one per bound control
};

// The format's options dialog for the filter (see above).
std::unique_ptr<ExportOptionsDialog> CreateExportOptionsDialog(TfrxCustomExportFilter& filter,
                                                               int currentPage,
                                                               QWidget* parent = nullptr);

}  // namespace reportengine
