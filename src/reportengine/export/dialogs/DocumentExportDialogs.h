// The options dialogs of the text-shaped and document exports (simple text, dot-matrix printer,
// RTF, OpenDocument text) and the e-mail dialog. Each adds its format's options, bound to the
// filter's properties, to the shared ExportOptionsDialog.
//
// TfrxMailExportDialog asks for the message (address, subject, text), the attachment's format
// (every registered format that writes a file) with a button for that format's own options, and
// the sender and SMTP server settings. OK is refused, with the reason shown in the dialog, while
// an address is not a plain "local@domain" one. "Открыть после экспорта" has no meaning for a
// mail and is hidden.
//
// Thread/lifetime contract: as ExportOptionsDialog (UI thread; the filter outlives the dialog).
#pragma once

#include "reportengine/export/dialogs/ExportOptionsDialog.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace reportengine {

class TfrxMailExport;

class TfrxSimpleTextExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxSimpleTextExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                               QWidget* parent = nullptr);
};

class TfrxDotMatrixExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxDotMatrixExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                              QWidget* parent = nullptr);
};

class TfrxRTFExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxRTFExportDialog(TfrxCustomExportFilter& filter, int currentPage, QWidget* parent = nullptr);
};

class TfrxODTExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    TfrxODTExportDialog(TfrxCustomExportFilter& filter, int currentPage, QWidget* parent = nullptr);
};

class TfrxMailExportDialog : public ExportOptionsDialog {
    Q_OBJECT
public:
    // filter must be a TfrxMailExport.
    TfrxMailExportDialog(TfrxCustomExportFilter& filter, int currentPage,
                         QWidget* parent = nullptr);

    QLineEdit* AddressE = nullptr;
    QLineEdit* SubjectE = nullptr;
    QPlainTextEdit* TextM = nullptr;
    QComboBox* FormatCB = nullptr;
    QPushButton* FormatOptionsB = nullptr;
    QLineEdit* PasswordE = nullptr;
    QLabel* ErrorL = nullptr;

    void accept() override;  // validates, writes the message fields, then as the base

private:
    void showFormatOptions();
    TfrxMailExport& Mail();
};

}  // namespace reportengine
