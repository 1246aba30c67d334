"""Cost of the serial link's read adapter and of an encoder property.

1. KX210Sio.read(1 << 20) with the bytes already waiting on the link: the cost per byte beyond
   the call (read of N bytes less read of 1 byte, over N-1), and the ratio against
   bytes(1 << 20).decode("latin-1") in the same run (target: within 2x). The link is fed before
   every timed read, outside the timing.
2. An encoder property read (KX210Encoder.comp1) against MB100.is_opened, as measured, and each
   against a bare pybind11 binding of the same library call when pyzol.baseline is built (the
   stand-in's encoder setting costs far more than MB100's flag, so the bare binding is the fair
   reference; target as for any member call, bench/targets.py).

    python bench/bench_companions.py
"""

import time

from bench_calls import NO_BASELINE
from bench_params import per_call  # best time per call, statements taking turns
from targets import Row

from pyzol import sim, unit

N = 1 << 20
READS = 60


def read_costs(reads=READS):
    """Best seconds of read(N), read(1), a decode of N ready bytes and bytes(N).decode."""
    board = unit.KX210()
    board.open(0, 0)
    link = unit.KX210Sio.from_(board)
    link.open()
    link.timeout = 0
    payload = bytes(range(128)) * (N // 128)  # ASCII, as a camera's answers are

    def read(size):
        def once():
            sim.sio_feed("KX210", 0, 0, payload[:size])
            t = time.perf_counter()
            text = link.read(size)
            elapsed = time.perf_counter() - t
            assert len(text) == size
            return elapsed

        return once

    def decode():
        zeros = bytes(N)  # made outside the timing, like the waiting bytes of the link
        t = time.perf_counter()
        zeros.decode("latin-1")
        return time.perf_counter() - t

    def decode_with_bytes():
        t = time.perf_counter()
        bytes(N).decode("latin-1")
        return time.perf_counter() - t

    # Alternate the measurements so that each sees the same machine.
    results = {"read N": [], "read 1": [], "decode": [], "bytes+decode": []}
    for _ in range(reads):
        results["read N"].append(read(N)())
        results["read 1"].append(read(1)())
        results["decode"].append(decode())
        results["bytes+decode"].append(decode_with_bytes())
    return {k: min(v) for k, v in results.items()}


def read_adapter():
    best = read_costs()
    per_byte = (best["read N"] - best["read 1"]) / (N - 1)
    print(f"read({N}) with the bytes waiting: {best['read N'] * 1e6:.1f} us")
    print(f"read(1) with the byte waiting:     {best['read 1'] * 1e6:.2f} us")
    print(f"cost per byte beyond the call:     {per_byte * 1e9:.3f} ns")
    print(
        f"bytes({N}).decode('latin-1'):    {best['bytes+decode'] * 1e6:.1f} us  ratio "
        f"{best['read N'] / best['bytes+decode']:.2f}"
    )
    print(
        f"decode of {N} ready bytes:       {best['decode'] * 1e6:.1f} us  ratio "
        f"{best['read N'] / best['decode']:.2f}"
    )


def encoder_costs(n=None, rounds=None):
    """ns per call of KX210Encoder.comp1 and MB100.is_opened, and of the bare bindings of the
    same library calls when pyzol.baseline is built (else None)."""
    kx = unit.KX210()
    kx.open(0, 0)
    encoder = unit.KX210Encoder.from_(kx)
    mb = unit.MB100()
    mb.open(0)
    try:
        from pyzol import baseline
    except ImportError:
        baseline = None
    timing = {} if n is None else {"n": n, "rounds": rounds}
    if baseline is None:
        enc_ns, mb_ns = per_call(["e.comp1", "b.is_opened"], {"e": encoder, "b": mb}, **timing)
        return enc_ns, mb_ns, None, None
    env = {"e": encoder, "b": mb, "be": baseline.BareEncoder(), "bb": baseline.Bare()}
    return tuple(per_call(["e.comp1", "b.is_opened", "be.comp1", "bb.is_opened"], env, **timing))


def encoder_property():
    enc_ns, mb_ns, bare_enc, bare_mb = encoder_costs()
    if bare_enc is None:
        print("(build with -C cmake.define.PYZOL_BENCH=ON for bare bindings of the same calls)")
    print(
        f"KX210Encoder.comp1: {enc_ns:.1f} ns, MB100.is_opened: {mb_ns:.1f} ns, "
        f"ratio {enc_ns / mb_ns:.2f}"
    )
    if bare_enc is not None:
        # The stand-in's Comp1 takes locks and looks the setting up by name, where MB100's
        # IsOpened reads one flag: against bare bindings of the same library calls, what is
        # left is the module's own share.
        print(
            f"bare binding of Comp1: {bare_enc:.1f} ns, ratio {enc_ns / bare_enc:.2f}; "
            f"bare is_opened: {bare_mb:.1f} ns, ratio {mb_ns / bare_mb:.2f}"
        )


def summary(quick=True):
    best = read_costs(15 if quick else READS)
    rows = [
        Row(
            "serial_read",
            best["read N"] / best["bytes+decode"],
            f"{best['read N'] * 1e6:.0f} us against {best['bytes+decode'] * 1e6:.0f} us",
        )
    ]
    # The stand-in's Comp1 costs far more than MB100's IsOpened, so the fair reference is a bare
    # binding of the same library call: a member call like any other.
    enc_ns, mb_ns, bare_enc, _ = encoder_costs(*((2_000, 40) if quick else (None, None)))
    if bare_enc is None:
        rows.append(Row("member_call", None, NO_BASELINE, "KX210Encoder.comp1"))
    else:
        reference = f"{enc_ns:.1f} ns against {bare_enc:.1f} ns (MB100.is_opened {mb_ns:.1f} ns)"
        rows.append(Row("member_call", enc_ns / bare_enc, reference, "KX210Encoder.comp1"))
    return rows


if __name__ == "__main__":
    read_adapter()
    encoder_property()
