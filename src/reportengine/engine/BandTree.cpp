#include "reportengine/engine/BandTree.h"

#include "reportengine/model/Pages.h"

#include <functional>

namespace reportengine {

namespace {

int LevelOf(const TfrxDataBand* band) {
    if (qobject_cast<const TfrxSubdetailData*>(band))
        return 2;
    if (qobject_cast<const TfrxDetailData*>(band))
        return 1;
    return 0;
}

bool IsChildBand(const TfrxBand* band, const std::vector<TfrxBand*>& all) {
    for (const TfrxBand* other : all)
        if (other != band && other->Child() == band)
            return true;
    return false;
}

void ForEachNode(const std::vector<std::unique_ptr<DataNode>>& nodes,
                 const std::function<bool(DataNode&)>& visit) {
    for (const auto& node : nodes) {
        if (!visit(*node))
            return;
        ForEachNode(node->Details, visit);
    }
}

}  // namespace

BandTree BuildBandTree(const TfrxReportPage& page) {
    BandTree tree;
    const std::vector<TfrxBand*> bands = page.Bands();
    std::vector<DataNode*> open;  // the data bands above, outermost first
    TfrxHeader* pendingHeader = nullptr;
    std::vector<TfrxGroupHeader*> pendingGroups;

    for (TfrxBand* band : bands) {
        if (IsChildBand(band, bands) || qobject_cast<TfrxChild*>(band))
            continue;
        if (auto* t = qobject_cast<TfrxReportTitle*>(band)) {
            tree.Title = t;
        } else if (auto* s = qobject_cast<TfrxReportSummary*>(band)) {
            tree.Summary = s;
        } else if (auto* ph = qobject_cast<TfrxPageHeader*>(band)) {
            tree.PageHeader = ph;
        } else if (auto* pf = qobject_cast<TfrxPageFooter*>(band)) {
            tree.PageFooter = pf;
        } else if (auto* ch = qobject_cast<TfrxColumnHeader*>(band)) {
            tree.ColumnHeader = ch;
        } else if (auto* cf = qobject_cast<TfrxColumnFooter*>(band)) {
            tree.ColumnFooter = cf;
        } else if (auto* o = qobject_cast<TfrxOverlay*>(band)) {
            tree.Overlays.push_back(o);
        } else if (auto* h = qobject_cast<TfrxHeader*>(band)) {
            pendingHeader = h;
        } else if (auto* g = qobject_cast<TfrxGroupHeader*>(band)) {
            pendingGroups.push_back(g);
        } else if (auto* d = qobject_cast<TfrxDataBand*>(band)) {
            const int level = LevelOf(d);
            while (!open.empty() && open.back()->Level >= level)
                open.pop_back();
            auto node = std::make_unique<DataNode>();
            node->Band = d;
            node->Level = open.empty() ? 0 : level;
            node->Header = std::exchange(pendingHeader, nullptr);
            for (TfrxGroupHeader* gh : pendingGroups)
                node->Groups.push_back(GroupNode{gh, nullptr});
            pendingGroups.clear();
            DataNode* raw = node.get();
            if (open.empty()) {
                tree.Masters.push_back(std::move(node));
            } else {
                raw->Master = open.back();
                open.back()->Details.push_back(std::move(node));
            }
            open.push_back(raw);
        } else if (auto* f = qobject_cast<TfrxFooter*>(band)) {
            // The innermost open data band still without a footer takes it.
            for (auto it = open.rbegin(); it != open.rend(); ++it)
                if (!(*it)->Footer) {
                    (*it)->Footer = f;
                    break;
                }
        } else if (auto* gf = qobject_cast<TfrxGroupFooter*>(band)) {
            bool taken = false;
            for (auto it = open.rbegin(); it != open.rend() && !taken; ++it)
                for (auto g = (*it)->Groups.rbegin(); g != (*it)->Groups.rend(); ++g)
                    if (!g->Footer) {
                        g->Footer = gf;
                        taken = true;
                        break;
                    }
        }
    }
    return tree;
}

DataNode* BandTree::NodeOf(const TfrxBand* band) const {
    DataNode* found = nullptr;
    ForEachNode(Masters, [&](DataNode& node) {
        if (node.Band == band)
            found = &node;
        return !found;
    });
    return found;
}

TfrxDataBand* BandTree::DataBandOf(const TfrxBand* band) const {
    TfrxDataBand* found = nullptr;
    ForEachNode(Masters, [&](DataNode& node) {
        if (node.Band == band || node.Header == band || node.Footer == band)
            found = node.Band;
        for (const GroupNode& g : node.Groups)
            if (g.Header == band || g.Footer == band)
                found = node.Band;
        return !found;
    });
    return found;
}

}  // namespace reportengine
