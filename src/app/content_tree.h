#pragma once
// The content trees (TreeView2, TreeView3, TreeView4): what the analysis
// found, as the analyzer returns it (ContentNode), shown as lines: the file
// name, under it one node per program, under each program its PCR and
// stream lines. Program nodes carry their index in ProgramList.
//
// Drawing: the root bold black, programs teal, leaves blue, on white while
// the tree is enabled and on light grey (F5F5F5) while it is disabled (a
// run works from it). The parse tree shows its selected nodes in its own
// colours instead of the selection highlight (ContentLook::MarkedSelection).

#include <QString>

#include <cstddef>
#include <optional>

#include "analysis/analyzer.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace tscard::app {

enum class ContentLook {
    Highlight,        // selected nodes get the usual selection highlight
    MarkedSelection,  // selected: root bold black, programs bold green, leaves blue, all on white
};

// Gives a tree the drawing above; once, when the tree is made.
void SetUpContentTree(QTreeWidget* tree, ContentLook look);

// Replaces the tree's lines by the content, every node expanded.
void ShowContent(QTreeWidget* tree, const ContentNode& root);

// The ProgramList index a program node carries; nullopt for the root, the
// leaves, and program nodes whose data was cleared.
std::optional<std::size_t> ProgramIndexOf(const QTreeWidgetItem* item);
// A node with a parent and children.
bool IsProgramNode(const QTreeWidgetItem* item);
// Drops the index of every program node (the ProgramList behind it is
// about to be replaced); the lines stay.
void ClearProgramData(QTreeWidget* tree);

// Text of the analysis (8-bit bytes, file names as the file system has them).
QString ContentText(const std::string& bytes);

}  // namespace tscard::app
