// How the bands of one report page bind together, read from their order by Top: a header directly
// above a data band and the footer below it belong to it; consecutive group headers above a data
// band nest outer to inner, each group footer belonging to the nearest open group header above
// it; detail bands nest under the master above them and subdetail bands under the detail. The
// page-level bands (title, summary, page and column header and footer, overlay) are picked out.
// Child bands are reached through their parent's Child and are not listed.
// Thread contract: built and used on the preparing thread; points into the report's bands.
#pragma once

#include "reportengine/model/Bands.h"

#include <memory>
#include <vector>

namespace reportengine {

class TfrxReportPage;

struct GroupNode {
    TfrxGroupHeader* Header = nullptr;
    TfrxGroupFooter* Footer = nullptr;
};

struct DataNode {
    TfrxDataBand* Band = nullptr;
    TfrxHeader* Header = nullptr;
    TfrxFooter* Footer = nullptr;
    std::vector<GroupNode> Groups;  // outer to inner
    std::vector<std::unique_ptr<DataNode>> Details;
    DataNode* Master = nullptr;
    int Level = 0;  // 0 master, 1 detail, 2 subdetail
};

struct BandTree {
    TfrxReportTitle* Title = nullptr;
    TfrxReportSummary* Summary = nullptr;
    TfrxPageHeader* PageHeader = nullptr;
    TfrxPageFooter* PageFooter = nullptr;
    TfrxColumnHeader* ColumnHeader = nullptr;
    TfrxColumnFooter* ColumnFooter = nullptr;
    std::vector<TfrxOverlay*> Overlays;
    std::vector<std::unique_ptr<DataNode>> Masters;

    // The node that runs this data band; null when the band is not in the tree.
    DataNode* NodeOf(const TfrxBand* band) const;
    // The data band a footer-like band (footer, group footer, header, group header) belongs to.
    TfrxDataBand* DataBandOf(const TfrxBand* band) const;
};

BandTree BuildBandTree(const TfrxReportPage& page);

}  // namespace reportengine
