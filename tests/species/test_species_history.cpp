#include "species/species_history.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "cluster_blocks.hpp"
#include "species/species_label_pass.hpp"

namespace parasim::species {
namespace {

using Labels = std::vector<std::int32_t>;

using testing::cluster_blocks;

// One labelling call on hand-made clusters, recorded in the history; every parasite on host 1
// unless hosts are given.
Labels label(SpeciesLabelPass& pass, SpeciesHistory& history, std::int32_t generation,
             const std::vector<std::int32_t>& cluster_of, Labels labels, Labels hosts = {}) {
  pass.relabel(cluster_of, *std::max_element(cluster_of.begin(), cluster_of.end()), labels);
  if (hosts.empty()) {
    hosts.assign(labels.size(), 1);
  }
  history.record_labelling(generation, pass.births(), labels, hosts);
  return labels;
}

using Row = std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                       std::int32_t, bool>;  // species, label, parent, born, size, last, extant

std::vector<Row> rows(const SpeciesHistory& history) {
  std::vector<Row> out;
  for (const SpeciesRecord& r : history.species()) {
    out.emplace_back(r.species, r.label, r.parent, r.born, r.size_at_birth, r.last_seen, r.extant);
  }
  return out;
}

TEST(SpeciesHistory, SplitsInOneCallAreDaughtersOfTheTurnsLabelInIssueOrder) {
  SpeciesLabelPass pass;
  SpeciesHistory history;
  label(pass, history, 1, {1, 1, 1}, Labels(3, 1));
  // Clusters of 20, 12, 15 and 5 carriers of label 1: cluster 3 gets label 2, cluster 2
  // label 3 (the order the bubble pass leaves), cluster 4 keeps label 1.
  label(pass, history, 2, cluster_blocks({20, 12, 15, 5}), Labels(52, 1));
  EXPECT_EQ(rows(history), (std::vector<Row>{{1, 1, 0, 1, 3, 2, true},
                                             {2, 2, 1, 2, 15, 2, true},
                                             {3, 3, 1, 2, 12, 2, true}}));
  EXPECT_EQ(history.extant_count(), 3);
  EXPECT_EQ(history.species_of_label(3), 3);
}

TEST(SpeciesHistory, ASplitInTheTurnOfLabelSHasTheSpeciesOfSAsParentAndItsWholeClusterAsSize) {
  SpeciesLabelPass pass;
  SpeciesHistory history;
  label(pass, history, 1, {1, 1, 1}, Labels(3, 1));
  label(pass, history, 2, cluster_blocks({11, 11}), Labels(22, 1));  // species 2, label 2
  // Cluster 1: 20 of label 1. Cluster 2: 12 of label 2. Cluster 3: 11 of label 2 and 4 of
  // label 1, too few for a split in turn 1; label 2's turn splits it off whole (15).
  Labels labels(20, 1);
  labels.insert(labels.end(), 12, 2);
  labels.insert(labels.end(), 11, 2);
  labels.insert(labels.end(), 4, 1);
  label(pass, history, 3, cluster_blocks({20, 12, 15}), labels);
  EXPECT_EQ(rows(history).back(), (Row{3, 3, 2, 3, 15, 3, true}));
}

TEST(SpeciesHistory, ASpeciesWithoutCarriersEndsAndItsReusedLabelIsANewSpecies) {
  SpeciesLabelPass pass;
  SpeciesHistory history;
  label(pass, history, 1, {1, 1, 1}, Labels(3, 1));
  label(pass, history, 2, cluster_blocks({11, 11}), Labels(22, 1));
  // Generation 3: the carriers of label 2 have joined the cluster of label 1 without a
  // split: turn 1 relabels the whole cluster, species 2 ends.
  Labels merged(30, 1);
  merged.insert(merged.end(), 5, 2);
  label(pass, history, 3, Labels(35, 1), merged);
  // Generation 4: label 2 is free again and the next split takes it: a new species.
  label(pass, history, 4, cluster_blocks({12, 11}), Labels(23, 1));
  EXPECT_EQ(rows(history), (std::vector<Row>{{1, 1, 0, 1, 3, 4, true},
                                             {2, 2, 1, 2, 11, 2, false},
                                             {3, 2, 1, 4, 11, 4, true}}));
  EXPECT_EQ(history.species_of_label(2), 3);
}

TEST(SpeciesHistory, ALabelWhoseCarriersVanishedBeforeTheLabellingGoesToANewSpecies) {
  SpeciesLabelPass pass;
  SpeciesHistory history;
  label(pass, history, 1, {1, 1, 1}, Labels(3, 1));
  label(pass, history, 2, cluster_blocks({11, 11}), Labels(22, 1));  // species 2, label 2
  // No child of species 2 survived: label 2 is free at the next labelling, whose split
  // takes it. Species 2 was last seen in generation 2; label 2 now names species 3.
  label(pass, history, 3, cluster_blocks({12, 11}), Labels(23, 1));
  EXPECT_EQ(rows(history), (std::vector<Row>{{1, 1, 0, 1, 3, 3, true},
                                             {2, 2, 1, 2, 11, 2, false},
                                             {3, 2, 1, 3, 11, 3, true}}));
  EXPECT_EQ(history.extant_count(), 2);
  EXPECT_EQ(history.species_of_label(2), 3);
}

// A species arises on the host holding most of its parasites at its birth labelling (the lower
// host on a tie), its parent's host the same for the parasites keeping the parent's label then.
TEST(SpeciesHistory, RecordsTheMainHostsOfANewSpeciesAndItsParentAtItsBirth) {
  SpeciesLabelPass pass;
  SpeciesHistory history;
  label(pass, history, 1, {1, 1, 1}, Labels(3, 1), {2, 2, 3});
  // Clusters of 20, 12, 15 and 5 carriers of label 1. Cluster 1 (20 on host 1) keeps the label
  // with cluster 4 (5 on host 5); cluster 3 (10 on host 1, 5 on host 4) becomes species 2,
  // cluster 2 (6 on host 3, 6 on host 2) species 3.
  Labels hosts(20, 1);
  for (const auto& [count, host] :
       std::vector<std::pair<int, int>>{{6, 3}, {6, 2}, {5, 4}, {10, 1}, {5, 5}}) {
    hosts.insert(hosts.end(), static_cast<std::size_t>(count), host);
  }
  label(pass, history, 2, cluster_blocks({20, 12, 15, 5}), Labels(52, 1), hosts);
  struct Expected {
    std::int32_t birth_host;
    std::int32_t parent_host;
    bool known;
    bool shift;
  };
  const Expected expected[] = {{2, 0, false, false}, {1, 1, true, false}, {2, 1, true, true}};
  ASSERT_EQ(history.species().size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const SpeciesRecord& record = history.species()[i];
    EXPECT_EQ(record.birth_host, expected[i].birth_host) << "species " << i + 1;
    EXPECT_EQ(record.parent_host, expected[i].parent_host) << "species " << i + 1;
    EXPECT_EQ(record.hosts_known(), expected[i].known) << "species " << i + 1;
    EXPECT_EQ(record.host_shift(), expected[i].shift) << "species " << i + 1;
  }
}

TEST(SpeciesHistory, GoesOnFromItsRecordsAsACheckpointHoldsThem) {
  SpeciesLabelPass pass;
  SpeciesHistory whole;
  label(pass, whole, 1, {1, 1, 1}, Labels(3, 1));
  label(pass, whole, 2, cluster_blocks({11, 11, 11}), Labels(33, 1));
  SpeciesHistory resumed(std::vector<SpeciesRecord>(whole.species().begin(), whole.species().end()));
  EXPECT_EQ(resumed.extant_count(), 3);
  for (SpeciesHistory* history : {&whole, &resumed}) {
    Labels labels(20, 3);
    labels.insert(labels.end(), 11, 2);
    label(pass, *history, 3, cluster_blocks({11, 9, 11}), labels);
  }
  EXPECT_EQ(rows(resumed), rows(whole));
  EXPECT_FALSE(whole.species()[0].extant);  // label 1 has no carrier left
}

}  // namespace
}  // namespace parasim::species
