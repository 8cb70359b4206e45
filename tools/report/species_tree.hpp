#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "species_table.hpp"

namespace parasim::report_tool {

// A node of a species tree. A tip is the end of one species' lineage; an inner node is a split,
// where a daughter species leaves its mother's lineage. Times are generations.
struct TreeNode {
  std::int32_t time = 0;     // a tip: its species' last generation; inner: the daughter's birth
  std::int32_t species = 0;  // a tip: the species that ends there; an inner node: the daughter
  std::int32_t parent = -1;  // index of the parent node; -1 at the root
  std::int32_t first = -1;   // an inner node's children: first the mother's lineage going on,
  std::int32_t second = -1;  // second the daughter's; -1 at a tip

  bool is_tip() const { return first < 0; }
};

// A rooted binary tree of species with branch lengths in generations. Nodes are numbered in
// preorder (a parent before its children, a first child's whole subtree before the second
// child), so the tips in index order are the tips in the order the Newick text lists them.
class SpeciesTree {
 public:
  SpeciesTree(std::vector<TreeNode> nodes, std::int32_t origin)
      : nodes_(std::move(nodes)), origin_(origin) {}

  const std::vector<TreeNode>& nodes() const { return nodes_; }
  bool empty() const { return nodes_.empty(); }
  // The root is node 0. Its branch reaches back to the origin, the founding generation.
  const TreeNode& root() const { return nodes_.front(); }
  std::int32_t origin() const { return origin_; }

  std::int32_t branch_length(std::size_t node) const;
  // The species at the tips, in tip order.
  std::vector<std::int32_t> tip_species() const;
  std::size_t tip_count() const;

 private:
  std::vector<TreeNode> nodes_;
  std::int32_t origin_;
};

// The tree of every species of the run: a split where each daughter was born, the mother's
// lineage going on beside it, and each species a tip at the last generation it was seen
// (extinct ones end early). Species 1 is founded at its birth generation, the origin.
SpeciesTree full_species_tree(const SpeciesTable& species);

// The reconstructed tree of the species extant at the end: the full tree without the lineages
// that left no extant species, each split that no longer branches taken out. Its root is the
// last common ancestor of the extant species, with a branch back to the origin.
SpeciesTree extant_species_tree(const SpeciesTable& species);

// The tip name of a species in Newick files: "sp" species "_L" label, as sp7_L6.
std::string tip_name(const SpeciesEntry& species);

// The tree in Newick, branch lengths in generations, the root's branch included, ended with
// ";" (an empty tree gives ";").
std::string newick_text(const SpeciesTree& tree, const SpeciesTable& species);

// The Colless index: the sum over the inner nodes of the difference between the numbers of tips
// under their two children.
std::int64_t colless_index(const SpeciesTree& tree);

// The gamma statistic of Pybus and Harvey for a tree whose tips all end at `present`: below 0
// when splits crowd toward the root, above 0 when they crowd toward the tips. Empty with fewer
// than three tips, or when every split happened at the present.
std::optional<double> gamma_statistic(const SpeciesTree& tree, std::int32_t present);

}  // namespace parasim::report_tool
