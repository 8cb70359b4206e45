#include "species_tree.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace parasim::report_tool {
namespace {

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

// Nodes are laid down in preorder from a stack of pending subtrees; each pending subtree knows
// the slot of its parent it fills.
struct Pending {
  std::int32_t parent;
  bool second;  // fills the parent's second slot, else its first
};

std::int32_t add_node(std::vector<TreeNode>& nodes, TreeNode node, const Pending& place) {
  const auto index = static_cast<std::int32_t>(nodes.size());
  node.parent = place.parent;
  node.first = node.second = -1;
  if (place.parent >= 0) {
    (place.second ? nodes[at(place.parent)].second : nodes[at(place.parent)].first) = index;
  }
  nodes.push_back(node);
  return index;
}

// Whether each node has a tip of an extant species below it; children come after parents, so
// one backward pass sees children first.
std::vector<bool> reaches_extant(const SpeciesTree& tree, const SpeciesTable& species) {
  const std::vector<TreeNode>& nodes = tree.nodes();
  std::vector<bool> reaches(nodes.size(), false);
  for (std::size_t i = nodes.size(); i-- > 0;) {
    const TreeNode& node = nodes[i];
    reaches[i] = node.is_tip() ? species.at(node.species).extant
                               : reaches[at(node.first)] || reaches[at(node.second)];
  }
  return reaches;
}

std::vector<std::int64_t> tips_below(const SpeciesTree& tree) {
  const std::vector<TreeNode>& nodes = tree.nodes();
  std::vector<std::int64_t> tips(nodes.size(), 0);
  for (std::size_t i = nodes.size(); i-- > 0;) {
    const TreeNode& node = nodes[i];
    tips[i] = node.is_tip() ? 1 : tips[at(node.first)] + tips[at(node.second)];
  }
  return tips;
}

}  // namespace

std::int32_t SpeciesTree::branch_length(std::size_t node) const {
  const TreeNode& here = nodes_[node];
  return here.time - (here.parent < 0 ? origin_ : nodes_[at(here.parent)].time);
}

std::vector<std::int32_t> SpeciesTree::tip_species() const {
  std::vector<std::int32_t> tips;
  for (const TreeNode& node : nodes_) {
    if (node.is_tip()) {
      tips.push_back(node.species);
    }
  }
  return tips;
}

std::size_t SpeciesTree::tip_count() const {
  return static_cast<std::size_t>(
      std::count_if(nodes_.begin(), nodes_.end(), [](const TreeNode& n) { return n.is_tip(); }));
}

SpeciesTree full_species_tree(const SpeciesTable& species) {
  if (species.empty()) {
    return SpeciesTree({}, 0);
  }
  // The lineage of species s from its k-th split on: an inner node where its k-th daughter is
  // born (the rest of s's lineage first, the daughter's second), or s's tip after the last.
  struct Lineage {
    std::int32_t species;
    std::size_t split;
    Pending place;
  };
  std::vector<TreeNode> nodes;
  nodes.reserve(2 * species.size() - 1);
  std::vector<Lineage> pending{{1, 0, {-1, false}}};
  while (!pending.empty()) {
    const Lineage lineage = pending.back();
    pending.pop_back();
    const std::vector<std::int32_t>& daughters = species.daughters(lineage.species);
    if (lineage.split == daughters.size()) {
      add_node(nodes, {species.at(lineage.species).last_seen, lineage.species}, lineage.place);
      continue;
    }
    const std::int32_t daughter = daughters[lineage.split];
    const std::int32_t split =
        add_node(nodes, {species.at(daughter).born, daughter}, lineage.place);
    pending.push_back({daughter, 0, {split, true}});
    pending.push_back({lineage.species, lineage.split + 1, {split, false}});
  }
  return SpeciesTree(std::move(nodes), species.at(1).born);
}

SpeciesTree extant_species_tree(const SpeciesTable& species) {
  const SpeciesTree full = full_species_tree(species);
  if (full.empty()) {
    return full;
  }
  const std::vector<TreeNode>& nodes = full.nodes();
  const std::vector<bool> reaches = reaches_extant(full, species);
  if (!reaches.front()) {
    return SpeciesTree({}, full.origin());
  }
  // Below a split that leads to extant species on one side only, the tree goes on as that side.
  const auto branching = [&](std::int32_t node) {
    while (!nodes[at(node)].is_tip() &&
           reaches[at(nodes[at(node)].first)] != reaches[at(nodes[at(node)].second)]) {
      const TreeNode& here = nodes[at(node)];
      node = reaches[at(here.first)] ? here.first : here.second;
    }
    return node;
  };
  struct Copy {
    std::int32_t node;
    Pending place;
  };
  std::vector<TreeNode> kept;
  std::vector<Copy> pending{{branching(0), {-1, false}}};
  while (!pending.empty()) {
    const Copy copy = pending.back();
    pending.pop_back();
    const TreeNode& node = nodes[at(copy.node)];
    const std::int32_t index = add_node(kept, node, copy.place);
    if (!node.is_tip()) {
      pending.push_back({branching(node.second), {index, true}});
      pending.push_back({branching(node.first), {index, false}});
    }
  }
  return SpeciesTree(std::move(kept), full.origin());
}

std::string tip_name(const SpeciesEntry& species) {
  return "sp" + std::to_string(species.species) + "_L" + std::to_string(species.label);
}

std::string newick_text(const SpeciesTree& tree, const SpeciesTable& species) {
  std::string text;
  if (tree.empty()) {
    return ";";
  }
  // Each node is visited on the way down (its opening), between its children and on the way up.
  struct Visit {
    std::int32_t node;
    int stage;
  };
  std::vector<Visit> pending{{0, 0}};
  const auto close = [&](std::int32_t node) {
    text += ':';
    text += std::to_string(tree.branch_length(at(node)));
  };
  while (!pending.empty()) {
    Visit& visit = pending.back();
    const TreeNode& node = tree.nodes()[at(visit.node)];
    if (node.is_tip()) {
      text += tip_name(species.at(node.species));
      close(visit.node);
      pending.pop_back();
    } else if (visit.stage == 0) {
      text += '(';
      visit.stage = 1;
      pending.push_back({node.first, 0});
    } else if (visit.stage == 1) {
      text += ',';
      visit.stage = 2;
      pending.push_back({node.second, 0});
    } else {
      text += ')';
      close(visit.node);
      pending.pop_back();
    }
  }
  text += ';';
  return text;
}

std::int64_t colless_index(const SpeciesTree& tree) {
  const std::vector<std::int64_t> tips = tips_below(tree);
  std::int64_t sum = 0;
  for (const TreeNode& node : tree.nodes()) {
    if (!node.is_tip()) {
      sum += std::llabs(tips[at(node.first)] - tips[at(node.second)]);
    }
  }
  return sum;
}

std::optional<double> gamma_statistic(const SpeciesTree& tree, std::int32_t present) {
  const std::size_t n = tree.tip_count();
  if (n < 3) {
    return std::nullopt;
  }
  // The split times in order; with k lineages from the (k-1)-th split to the k-th (the last
  // interval ending at the present), g_k generations.
  std::vector<std::int32_t> splits;
  for (const TreeNode& node : tree.nodes()) {
    if (!node.is_tip()) {
      splits.push_back(node.time);
    }
  }
  std::sort(splits.begin(), splits.end());
  splits.push_back(present);
  double total = 0.0;         // T: the sum of k g_k over k = 2 ... n
  double partial_sums = 0.0;  // the sum over i = 2 ... n-1 of the sum of k g_k up to i
  for (std::size_t k = 2; k <= n; ++k) {
    const double interval = static_cast<double>(splits[k - 1] - splits[k - 2]);
    total += static_cast<double>(k) * interval;
    if (k <= n - 1) {
      partial_sums += total;
    }
  }
  if (total <= 0.0) {
    return std::nullopt;
  }
  const double inner = static_cast<double>(n - 2);
  return (partial_sums / inner - total / 2.0) / (total * std::sqrt(1.0 / (12.0 * inner)));
}

}  // namespace parasim::report_tool
