"""The parts of parasim-explore that hold a rule of their own: which Host headers name the
address served, whatever address it is bound to; the totals grown from the run's abundance rows
a few generations at a time, against the same totals counted from the whole table at once; the
species tree's order, in which no mother-daughter link crosses another species' line."""

import numpy as np
import pytest

import parasim
from parasim_explore.access import Access, exposed
from parasim_explore.live_history import tree_order
from parasim_explore.run_tables import RunTables

PORT = 8123

# (bound to, Host header, taken)
HOSTS = [
    ("127.0.0.1", "127.0.0.1:8123", True),
    ("127.0.0.1", "localhost:8123", True),
    ("127.0.0.1", "127.0.0.1:8124", False),
    ("127.0.0.1", "127.0.0.1", False),  # no port: 80
    ("127.0.0.1", "10.1.2.3:8123", False),
    ("127.0.0.1", "attacker.example:8123", False),
    ("127.0.0.1", "127.0.0.1:08123", True),
    ("127.0.0.1", "127.0.0.1:8123:1", False),
    ("127.0.0.1", "127.0.0.1:+8123", False),
    ("127.0.0.1", "", False),
    ("192.168.7.9", "192.168.7.9:8123", True),
    ("192.168.7.9", "localhost:8123", False),
    ("192.168.7.9", "127.0.0.1:8123", False),
    # Bound to every address: any address written as numbers, never a name a page could
    # point at this machine (DNS rebinding).
    ("0.0.0.0", "10.1.2.3:8123", True),
    ("0.0.0.0", "localhost:8123", False),
    ("0.0.0.0", "attacker.example:8123", False),
    ("::", "[fe80::1]:8123", True),
    ("::", "[fe80::1:8123", False),
    ("::", "[::1]x8123", False),
    ("::1", "[::1]:8123", True),
    ("::1", "localhost:8123", True),
    ("::1", "[::2]:8123", False),
]


@pytest.mark.parametrize("bound, host, taken", HOSTS)
def test_the_host_header_must_name_the_address_served(bound, host, taken):
    assert Access("t", bound, PORT).host_allowed(host) is taken


@pytest.mark.parametrize("bound, reachable", [
    ("127.0.0.1", False), ("127.3.0.1", False), ("localhost", False), ("::1", False),
    ("0.0.0.0", True), ("::", True), ("192.168.7.9", True), ("myhost.example", True)])
def test_a_server_reachable_from_elsewhere_is_told_apart(bound, reachable):
    assert exposed(bound) is reachable


def test_only_the_token_opens():
    access = Access("right-token", "127.0.0.1", PORT)
    assert access.token_given("right-token", None) and access.token_given(None, "right-token")
    for query, header in ((None, None), ("right-toke", None), (None, "RIGHT-TOKEN"),
                          ("right-token\n", "x"), ("é", None)):
        assert not access.token_given(query, header)


def test_totals_grown_a_few_generations_at_a_time_are_those_of_the_whole_table():
    parameters = parasim.Parameters(
        genome_size=40, max_differentiation=0.1, mutation_rate=0.01, max_offspring=2,
        dispersal_prob=0.1, host_count=3, host_distance=1.0, carrying_capacity=60,
        survival_sd=1.0, generations=60)
    sim = parasim.Simulation(parameters, seed=31)
    tables = RunTables()
    for chunk in (0, 1, 2, 7, 1, 13, 40):
        sim.run(chunk)
        tables.take(sim.history(frame=False, from_generation=tables.next_generation).abundance)
    rows = sim.history(frame=False).abundance
    generations = np.unique(rows["generation"])
    totals = tables.totals.columns()
    np.testing.assert_array_equal(totals["generation"], generations)
    for g, population, species in zip(generations, totals["population"], totals["species"]):
        at = rows["generation"] == g
        assert population == rows["count"][at].sum()
        assert species == len(np.unique(rows["species"][at]))
    sizes = tables.sizes.columns()
    pairs = {}
    for g, s, n in zip(rows["generation"].tolist(), rows["species"].tolist(),
                       rows["count"].tolist()):
        pairs[(g, s)] = pairs.get((g, s), 0) + n
    assert list(zip(sizes["generation"].tolist(), sizes["species"].tolist(),
                    sizes["count"].tolist())) == [(g, s, n) for (g, s), n in pairs.items()]
    assert tables.next_generation == sim.generation + (0 if sim.finished else 1)


def random_tree(rng, count):
    """Mothers and births of `count` species in order of origin, as a run makes them."""
    parent = np.zeros(count, dtype=np.int64)
    born = np.ones(count, dtype=np.int64)
    for s in range(2, count + 1):
        parent[s - 1] = rng.integers(1, s)
        born[s - 1] = max(born[parent[s - 1] - 1], born[s - 2]) + int(rng.integers(0, 3))
    return parent, born


@pytest.mark.parametrize("count", [1, 2, 3, 10, 60])
def test_no_link_of_the_tree_crosses_a_line(count):
    rng = np.random.default_rng(count)
    for _ in range(30):
        parent, born = random_tree(rng, count)
        order = tree_order(parent, born)
        assert sorted(order) == list(range(1, count + 1))
        for daughter in range(2, count + 1):
            mother = parent[daughter - 1]
            low, high = sorted((order[mother - 1], order[daughter - 1]))
            assert order[mother - 1] < order[daughter - 1]
            between = [s for s in range(1, count + 1) if low < order[s - 1] < high]
            assert all(born[s - 1] >= born[daughter - 1] for s in between), (parent, born)
