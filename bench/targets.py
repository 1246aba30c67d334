"""The benchmarks' targets, and the row each benchmark's `summary()` gives for one of them."""

from typing import NamedTuple


class Row(NamedTuple):
    """One measured figure: `key` names its entry of TARGETS; `reference` says what it was
    measured against (the other figures of the same run)."""

    key: str
    value: float
    reference: str


class Target(NamedTuple):
    description: str
    unit: str
    comparison: str  # "<=" or ">=": how `value` must compare with `threshold`
    threshold: float


TARGETS = {
    "record_paced_dropped": Target(
        "frames dropped recording 1920x1080 Mono8 paced at 80% of the sequential write bandwidth",
        "frames",
        "<=",
        0,
    ),
    "record_free_vs_write": Target(
        "free-running recorder throughput against a plain sequential write of the same bytes",
        "ratio",
        ">=",
        0.9,
    ),
    "record_memory_vs_pool": Target(
        "resident memory a long recording adds, against its pool and ring",
        "ratio",
        "<=",
        1.0,
    ),
}
