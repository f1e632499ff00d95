// Enumerations and constants of the report object model. Enumerations are Qt enums so that
// templates store them by name and scripts read and write them by name or number; sets are plain
// integer bit masks with their bits named here.
// Thread contract: constants only; safe anywhere.
#pragma once

#include <QObject>

namespace reportengine {
Q_NAMESPACE

// Colours are 0x00BBGGRR integers; negative values are system colours.
constexpr int clNone = 536870911;  // transparent
constexpr int clBlack = 0;
constexpr int clWhite = 0xFFFFFF;
constexpr int clBtnFace = -16777201;

// 96 pixels per inch: the unit of object geometry.
constexpr double fr1cm = 37.7953;
constexpr double fr01cm = 3.77953;  // one millimetre

enum TfrxHAlign { haLeft, haRight, haCenter, haBlock };
Q_ENUM_NS(TfrxHAlign)
enum TfrxVAlign { vaTop, vaBottom, vaCenter };
Q_ENUM_NS(TfrxVAlign)
enum TfrxStretchMode { smDontStretch, smActualHeight, smMaxHeight };
Q_ENUM_NS(TfrxStretchMode)
enum TfrxFrameStyle { fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble };
Q_ENUM_NS(TfrxFrameStyle)
enum TfrxFormatKind { fkText, fkNumeric, fkDateTime, fkBoolean };
Q_ENUM_NS(TfrxFormatKind)
enum TfrxShapeKind {
    skRectangle,
    skRoundRectangle,
    skEllipse,
    skTriangle,
    skDiamond,
    skDiagonal1,
    skDiagonal2
};
Q_ENUM_NS(TfrxShapeKind)
enum TfrxGradientStyle {
    gsHorizontal,
    gsVertical,
    gsElliptic,
    gsRectangle,
    gsVertCenter,
    gsHorizCenter
};
Q_ENUM_NS(TfrxGradientStyle)
enum TfrxCheckStyle { csCross, csCheck, csLineCross, csPlus, csTaskCheck, csTaskCross };
Q_ENUM_NS(TfrxCheckStyle)
enum TfrxBarcodeType { bcCode39, bcCode128, bcCodeEAN13 };
Q_ENUM_NS(TfrxBarcodeType)
enum TPrinterOrientation { poPortrait, poLandscape };
Q_ENUM_NS(TPrinterOrientation)
enum TfrxRangeBegin { rbFirst, rbCurrent };
Q_ENUM_NS(TfrxRangeBegin)
enum TfrxRangeEnd { reLast, reCurrent, reCount };
Q_ENUM_NS(TfrxRangeEnd)
enum TfrxZoomMode { zmDefault, zmWholePage, zmPageWidth, zmManyPages };
Q_ENUM_NS(TfrxZoomMode)
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
Q_ENUM_NS(TPosition)
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
Q_ENUM_NS(TFormBorderStyle)
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};
Q_ENUM_NS(TModalResult)

// Frame.Typ bits (1 left, 2 right, 4 top, 8 bottom) and Font.Style bits (1 bold, 2 italic,
// 4 underline, 8 strikeout) are the ones the prepared pages use: FrameSide and FontStyleBit of
// reportengine/pages/PreparedPage.h.
// PreviewOptions.Buttons bits, in the order the preview lists them.
enum TfrxPreviewButton : int {
    pbPrint = 1 << 0,
    pbLoad = 1 << 1,
    pbSave = 1 << 2,
    pbExport = 1 << 3,
    pbZoom = 1 << 4,
    pbFind = 1 << 5,
    pbOutline = 1 << 6,
    pbPageSetup = 1 << 7,
    pbTools = 1 << 8,
    pbEdit = 1 << 9,
    pbNavigator = 1 << 10,
    pbExportQuick = 1 << 11,
    pbNoClose = 1 << 12,
    pbNoFullScreen = 1 << 13,
    pbNoEmail = 1 << 14
};
constexpr int pbDefault = pbPrint | pbLoad | pbSave | pbExport | pbZoom | pbFind | pbOutline |
                          pbPageSetup | pbTools | pbEdit | pbNavigator;

// Progress kinds of OnProgressStart / OnProgress / OnProgressStop.
enum TfrxProgressType { ptRunning = 0, ptExporting = 1, ptPrinting = 2 };

}  // namespace reportengine
