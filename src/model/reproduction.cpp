#include "model/reproduction.hpp"

#include <algorithm>
#include <bit>
#include <cassert>
#include <span>

#include "model/allocation_failure.hpp"

namespace parasim::model {

namespace {

void reserve_order(random::DeferredShuffle& order, std::size_t length, const char* name) {
  allocate(name, [&] { order.reserve(length); });
}

// The most children the residents can have: per host the smaller of its attempts
// and the carrying capacity, counted in 64 bits.
std::size_t most_children(const HostTable& hosts, const ReproductionLimits& limits) {
  std::int64_t total = 0;
  for (const std::int32_t residents : hosts.host_load) {
    if (residents < 1 || limits.max_offspring < 1) {
      continue;
    }
    const std::int64_t attempts = static_cast<std::int64_t>(residents) * limits.max_offspring;
    total += std::min<std::int64_t>(attempts, limits.carrying_capacity);
  }
  return static_cast<std::size_t>(total);
}

// The rows whose genomes differ from the parent's at no more than mate_threshold loci,
// the parent's own among them, found through the heads of the population's genomes.
void find_compatible(const Population& population, std::size_t parent_row,
                     std::int32_t mate_threshold, ReproductionBuffers& buffers) {
  const std::size_t count = buffers.heads.within(
      population.genome(parent_row), population.words_per_genome(), mate_threshold,
      [&](std::size_t row) { return population.genome(row); }, buffers.near.data());
  buffers.compatible.assign(buffers.near.begin(),
                            buffers.near.begin() + static_cast<std::ptrdiff_t>(count));
}

// One attempt of a parent whose compatible rows are known: the mate is the compatible
// row that stands first in the order, if it stands among the first candidate_count.
// Gives what offspring gives, but follows the few compatible rows through the order's
// exchanges instead of working out its entries.
template <typename Source>
bool offspring_among(const Population& population, random::DeferredShuffle& mate_order,
                     const std::vector<std::int32_t>& compatible, std::size_t parent_row,
                     std::int32_t candidate_count, const MatingRules& rules, Source& generator,
                     Population& pool, std::size_t child_row) {
  const auto first = mate_order.first_placed(compatible);
  if (first.place >= static_cast<std::size_t>(candidate_count)) {
    return false;
  }
  build_child(population, static_cast<std::size_t>(compatible[first.index]), parent_row, rules,
              generator, pool, child_row);
  return true;
}

}  // namespace

template <typename Source>
void reproduce(const Population& population, const HostTable& hosts,
               const ReproductionLimits& limits, const MatingRules& rules, Source& generator,
               ReproductionBuffers& buffers, Population& pool) {
  const auto population_size = static_cast<std::int32_t>(population.size());
  const std::size_t pool_capacity = most_children(hosts, limits);
  allocate("offspring_pool", [&] { pool.reserve(pool_capacity); });
  reserve_order(buffers.mate_order, population.size(), "mate_order");
  // The compatible rows of a parent serve its mate search, and are at most all rows; the
  // genome heads serve every mate search.
  allocate("mate_order", [&] {
    buffers.compatible.reserve(population.size());
    take_heads(population, buffers.heads);
    buffers.near.resize(population.size());
  });

  // A parent that finds no mate is tried again with a fresh order, and then often has few
  // compatible parasites in the whole population; these are listed once, and the next
  // attempts look only for where the first of them stands in the order.
  std::size_t stuck_parent = population.size();
  std::size_t next_row = 0;
  std::int32_t host_offset = 0;
  for (const std::int32_t resident_count : hosts.host_load) {
    const std::int32_t first_row = host_offset;
    host_offset += resident_count;
    if (resident_count < 1) {
      continue;
    }
    reserve_order(buffers.parent_queue, static_cast<std::size_t>(resident_count), "parent_queue");
    // Offsets one below the first row give 0-based row numbers.
    buffers.parent_queue.draw(generator, resident_count, first_row - 1);
    const std::span<const std::int32_t> parent_queue = buffers.parent_queue.entries();

    const std::int64_t attempt_limit =
        static_cast<std::int64_t>(resident_count) * limits.max_offspring;
    std::int32_t queue_cursor = 0;
    std::int32_t host_children = 0;
    for (std::int64_t attempt = 0; attempt < attempt_limit; ++attempt) {
      const auto parent_row =
          static_cast<std::size_t>(parent_queue[static_cast<std::size_t>(queue_cursor)]);
      // A fresh order of the whole population for every attempt, retries included; its
      // entries are worked out as the mate search reads them.
      buffers.mate_order.draw(generator, population_size, -1);
      // The pool already has room for every child the hosts can have.
      const bool found =
          parent_row == stuck_parent &&
                  buffers.mate_order.follows_cheaply(buffers.compatible.size())
              ? offspring_among(population, buffers.mate_order, buffers.compatible, parent_row,
                                resident_count, rules, generator, pool, next_row)
              : offspring(population, buffers.heads, buffers.mate_order, parent_row, resident_count,
                          rules, generator, pool, next_row);
      if (!found) {
        if (parent_row != stuck_parent) {
          stuck_parent = parent_row;
          find_compatible(population, parent_row, rules.mate_threshold, buffers);
        }
        continue;
      }
      ++next_row;
      if (++queue_cursor == resident_count) {
        queue_cursor = 0;
      }
      if (++host_children >= limits.carrying_capacity) {
        break;
      }
    }
  }
  assert(next_row <= pool_capacity);
  pool.resize(next_row);
}

template void reproduce(const Population&, const HostTable&, const ReproductionLimits&,
                        const MatingRules&, random::Generator&, ReproductionBuffers&, Population&);
template void reproduce(const Population&, const HostTable&, const ReproductionLimits&,
                        const MatingRules&, random::DeviateStream&, ReproductionBuffers&,
                        Population&);

}  // namespace parasim::model
