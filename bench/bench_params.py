"""Cost of settings by name on the capture boards' settings objects.

1. get_param / set_param per call for the first and the last name of each table, taken per value
   kind (a text value costs more than a number whatever its place, so names are compared with
   names of their own kind): the worst name of a kind should stay within 1.1x of the best, i.e.
   matching does not grow with the table.
2. A by-name call against the typed property of the same setting (exposure_time,
   "ExposureTime"): within 1.5x.
3. Where the time of a by-name call goes, by comparing calls of related shapes: the method
   lookup alone (a pybind11 method is fetched as a new bound method on every call, a property is
   not), the call with the method fetched once, a bytes name (no UTF-8 step), a long name (the
   std::string leaves its inline buffer), a text value, and the typed members.

    python bench/bench_params.py
"""

import timeit

from targets import Row

from pyzol import sim, unit

N = 100_000
ROUNDS = 9
QUICK = (2_000, 40)  # short mode: many short chunks (see bench_calls.QUICK)

# (board, direction): first and last name of each kind, in table order, with a value to write.
NAMES = {
    ("KX210", "get"): [
        ("Width", "PGStart", "ImagePack"),
        ("ENCComp2",),
        ("CameraName", "DriverVersion"),
    ],
    ("KX210", "set"): [("Width", "PGStart"), ("ENCComp2",), ("CameraName", "SIORETX")],
    ("KX310", "get"): [
        ("Width", "GrabEnableSelector", "ImagePack"),
        ("ENCComp2",),
        ("CameraName", "FpgaVersion"),
    ],
    ("KX310", "set"): [("Width", "GrabEnableSelector"), ("ENCComp2",), ("CameraName", "SIORETX")],
    ("TR520", "get"): [("TriggerMode", "SimTriggerEx", "ImageDepth"), ("CameraName", "ImageSize")],
    ("TR520", "set"): [("TriggerMode", "SimTriggerEx"), ("CameraName", "CameraMode")],
}
VALUES = {"ENCComp2": 7, "CameraName": "ZOLCAM", "SIORETX": "\r", "CameraMode": "Normal"}


def per_call(stmts, env, n=N, rounds=ROUNDS):
    """Best time per call (ns) of each statement. The statements take turns in every round, so a
    slower spell of the machine (other processes) weighs on all of them alike."""
    timers = [timeit.Timer(s, globals=env) for s in stmts]
    best = [float("inf")] * len(stmts)
    for _ in range(rounds):
        for i, timer in enumerate(timers):
            best[i] = min(best[i], timer.timeit(n))
    return [b / n * 1e9 for b in best]


def settings(board):
    b = getattr(unit, board)()
    b.open(0, 0)
    return getattr(unit, board + "Param").from_(b)


def matching_ratios(n=N, rounds=ROUNDS):
    """Per (board, direction, group): the names' times per call (ns) and worst/best."""
    out = []
    for (board, direction), groups in NAMES.items():
        p = settings(board)
        for names in groups:
            env = {"p": p, "v": VALUES}
            if direction == "get":
                stmts = [f"p.get_param({n!r})" for n in names]
            else:
                stmts = [f"p.set_param({n!r}, v.get({n!r}, 1))" for n in names]
            times = dict(zip(names, per_call(stmts, env, n, rounds), strict=True))
            out.append((board, direction, times, max(times.values()) / min(times.values())))
    return out


def matching():
    print("1. per call by name, first and last name of each kind (ns)")
    results = matching_ratios()
    for board, direction, times, ratio in results:
        shown = "  ".join(f"{n} {t:.0f}" for n, t in times.items())
        print(f"  {board} {direction}_param  {shown}  worst/best {ratio:.3f}")
    print(f"  worst/best over all groups: {max(r[3] for r in results):.3f} (target <= 1.1)")


def typed_ratios(n=N, rounds=ROUNDS):
    """Per board and direction: (by name ns, typed ns) for ExposureTime."""
    out = []
    for board in ("KX210", "KX310", "TR520"):
        env = {"p": settings(board)}
        read = per_call(["p.get_param('ExposureTime')", "p.exposure_time"], env, n, rounds)
        write = per_call(["p.set_param('ExposureTime', 5)", "p.exposure_time = 5"], env, n, rounds)
        out += [(board, "read", *read), (board, "write", *write)]
    return out


def against_typed():
    print("2. by name against the typed property, ExposureTime (ns)")
    for board, what, by_name, typed in typed_ratios():
        print(
            f"  {board} {what:<5} by name {by_name:6.0f}  typed {typed:6.0f}  "
            f"ratio {by_name / typed:.2f} (target <= 1.5)"
        )


def summary(quick=True):
    sim.set_journal(False)
    n, rounds = QUICK if quick else (N, ROUNDS)
    rows = []
    for board, what, by_name, typed in typed_ratios(n, rounds):
        rows.append(
            Row(
                "by_name",
                by_name / typed,
                f"{by_name:.0f} ns against {typed:.0f} ns",
                f"{board} {what}",
            )
        )
    worst = max(matching_ratios(n, rounds), key=lambda r: r[3])
    board, direction, times, ratio = worst
    shown = ", ".join(f"{name} {t:.0f} ns" for name, t in times.items())
    rows.append(Row("name_matching", ratio, f"worst group: {board} {direction}_param {shown}"))
    return rows


def breakdown():
    print("3. where a by-name read goes (KX210, ns)")
    p = settings("KX210")
    env = {"p": p}
    env["g"] = p.get_param
    rows = [
        ("get_param('Width')", "p.get_param('Width')"),
        ("p.get_param (method lookup alone)", "p.get_param"),
        ("g('Width') (method fetched once)", "g('Width')"),
        ("get_param(b'Width') (bytes name: no UTF-8 encoding)", "p.get_param(b'Width')"),
        (
            "get_param('SendCommandWaitTime') (name > 15 bytes)",
            "p.get_param('SendCommandWaitTime')",
        ),
        ("get_param('CameraName') (text: CxStringA and str)", "p.get_param('CameraName')"),
        ("exposure_time (typed getter)", "p.exposure_time"),
        ("is_valid (dispatch and a trivial library call)", "p.is_valid"),
        ("get_register(0) (dispatch with one int argument)", "p.get_register(0)"),
        ("set_param('Timeout', 5000)", "p.set_param('Timeout', 5000)"),
        ("exposure_time = 5 (typed setter)", "p.exposure_time = 5"),
    ]
    rows = list(zip([w for w, _ in rows], per_call([s for _, s in rows], env), strict=True))
    for what, t in rows:
        print(f"  {what:<58}{t:7.0f}")


if __name__ == "__main__":
    sim.set_journal(False)
    matching()
    against_typed()
    breakdown()
