"""The bad-argument sweep, run by test_sweeps.py in a child interpreter per class: every overload of
every member (methods, special methods, property getters and setters; a module's functions),
read from the signatures the binding library generates, is called with one argument (or self)
replaced by a bad value while the others are good, and with self None and an instance whose
__init__ never ran. Only Python errors may come out, and when the arguments do not convert
(TypeError, ValueError, the cast error) the library must not have been called.

Usage (in a folder holding cam.txt):
    python -c "import argument_sweep; argument_sweep.main('unit.KX210')"   # or 'core', 'sim', ...
"""

import re
from decimal import Decimal

import numpy as np

from pyzol import core, sim, unit

MODULES = {"core": core, "unit": unit, "sim": sim}
SIGNATURE = re.compile(r"^(?:\d+\. )?(\w*)\((.*)\) -> ", re.MULTILINE)


def uninitialised(cls):
    return cls.__new__(cls)


def bad_values(annotation):
    """Values that are wrong for a parameter of that type (some may still be accepted: None by
    paths and untyped parameters, -1 by signed integers...)."""
    values = [None, 5.5, np.float32(5.0), Decimal(1), "x", b"x", "a\0b", [1], object(),
              2**31, -(2**31) - 1, 2**32, -1, uninitialised(unit.KX210),
              uninitialised(core.CxImage), [None, "img"],
              [uninitialised(core.CxImage)]]  # fmt: skip
    values += [uninitialised(cls) for cls in classes_of(annotation)]
    return values


def classes_of(annotation):
    """The bound classes a parameter annotation names (`A | B | None` names several)."""
    found = []
    for alternative in annotation.split(" | "):
        if alternative in ("int", "str", "bool", "list", "object"):
            continue
        name = alternative.split(".")[-1].split("::")[-1]
        for module in (unit, core, sim):
            cls = getattr(module, name, None)
            if isinstance(cls, type):
                found.append(cls)
                break
    return found


def class_of(annotation):
    found = classes_of(annotation)
    return found[0] if found else None


def parameters(text):
    """(name, annotation) of each parameter in a signature's parameter text."""
    out = []
    for part in filter(None, (p.strip() for p in text.split(", "))):
        name, _, rest = part.partition(": ")
        out.append((name, rest.split(" = ")[0]))
    return out


def signatures(member):
    doc = member.__doc__ or ""
    return [(name, parameters(params)) for name, params in SIGNATURE.findall(doc)]


def members(cls):
    """(label, callable(self, *args), parameter list, takes self) of every overload of every
    bound member (those with the binding library's signatures); a module's functions when `cls`
    is a module."""
    out = []
    for name, attr in vars(cls).items():
        if isinstance(attr, property) and name.startswith("__"):
            continue  # an enumeration's __doc__, __members__: the binding library's, of the class
        if not isinstance(attr, (property, staticmethod)) and not callable(attr):
            continue  # __doc__, __module__ texts
        if isinstance(attr, property):
            for _, params in signatures(attr.fget) if attr.fget else []:
                out.append((name, lambda s, f=attr.fget: f(s), params[1:], True))
            for _, params in signatures(attr.fset) if attr.fset else []:
                out.append((f"{name}=", lambda s, v, f=attr.fset: f(s, v), params[1:], True))
            continue
        if not isinstance(cls, type) or isinstance(attr, staticmethod):
            if callable(attr) and not isinstance(attr, type):
                func = getattr(cls, name)
                for _, params in signatures(func):
                    out.append((name, lambda _s, *a, f=func: f(*a), params, False))
            continue
        for _, params in signatures(attr):
            out.append((name, lambda s, *a, f=attr: f(s, *a), params[1:], True))
    return out


class Rig:
    """Good values: fresh objects ready for any member (waits end at once)."""

    def __init__(self, cls):
        self.cls = cls

    def fresh(self, cls):
        if hasattr(cls, "__members__"):  # an enumeration: a new object of its first value
            return cls(int(next(iter(cls.__members__.values()))))
        if cls.__name__ in INTERFACES:
            return self.good(cls.__name__, None)
        if cls is sim.Recording:
            return sim.recording()
        obj = cls()
        if cls in (unit.MB100, unit.RM1600, unit.DQ160):
            obj.open(0)
            getattr(unit, cls.__name__ + "Param").from_(obj).timeout = 0
        elif cls in (unit.KX210, unit.KX310, unit.TR520):
            obj.open(0, 0)
            obj.setup("cam.txt")
        elif cls is unit.Video:
            obj = unit.Video.from_file("cam.txt")  # a KX210 by default
        elif hasattr(obj, "controller"):
            obj.controller = self.fresh(board_of(cls))
        return obj

    def good(self, annotation, member):
        if annotation == "int":
            return 0
        if annotation == "bool":
            return True
        if annotation == "str":
            return "Timeout" if member in ("get_param", "set_param", "send_command") else "cam.txt"
        if annotation == "list":
            return [core.CxImage(64, 48)]
        if annotation == "object":
            return None
        interface = annotation.split(".")[-1]
        if interface in INTERFACES:
            adapter, cls = INTERFACES[interface]
            return getattr(core, adapter)(self.fresh(getattr(unit, cls)))
        if annotation.endswith("CxImage"):
            return core.CxImage(64, 48)
        cls = class_of(annotation)
        if cls is not None and hasattr(cls, "__members__"):  # an enumeration: its first member
            return next(iter(cls.__members__.values()))
        return cls() if cls is not None else None


# Each interface, as an adapter of pyzol.core over an object that implements it.
INTERFACES = {
    "IxModule": ("as_module", "KX210"),
    "IxDIO": ("as_dio", "MB100"),
    "IxIndexedDIO": ("as_indexed_dio", "MB100"),
    "IxVideoControl": ("as_video_control", "KX210"),
    "IxRegister": ("as_register", "KX210Param"),
    "IxDeviceModule": ("as_device_module", "KX210Param"),
}


def board_of(companion):
    for board in ("MB100", "RM1600", "DQ160", "KX210", "KX310", "TR520"):
        if companion.__name__.startswith(board) and companion.__name__ != board:
            return getattr(unit, board)
    raise LookupError(companion)


def converted(error):
    """Whether the error says the arguments did not convert."""
    if isinstance(error, (TypeError, ValueError, OverflowError)):
        return True
    return isinstance(error, RuntimeError) and str(error).startswith("Unable to cast")


FRESH = object()  # a fresh initialised object as self


def sweep(cls):
    rig = Rig(cls)
    calls = violations = 0
    for label, call, params, has_self in members(cls):
        goods = [rig.good(a, label) for _, a in params]
        cases = []
        if has_self:
            cases += [(None, goods), (uninitialised(cls), goods)]
        for i, (_, annotation) in enumerate(params):
            for bad in bad_values(annotation):
                cases.append((FRESH, goods[:i] + [bad] + goods[i + 1 :]))
        for self_value, args in cases:
            target = rig.fresh(cls) if self_value is FRESH and has_self else self_value
            calls += 1
            with sim.recording() as journal:
                try:
                    call(target, *args)
                except Exception as e:  # noqa: BLE001 - every Python error is allowed
                    if converted(e) and journal:
                        violations += 1
                        print(f"VIOLATION {cls.__name__}.{label}{args!r}: {e!r} after {journal}")
            if self_value is FRESH and hasattr(target, "stop"):
                target.stop()
    return calls, violations


def surface():
    """What the sweep covers, read from the modules themselves: every class of pyzol.core,
    pyzol.unit and pyzol.sim ("unit.KX210") but the exceptions, and each module's functions
    ("unit")."""
    names = []
    for prefix, module in MODULES.items():
        for name, obj in vars(module).items():
            if isinstance(obj, type) and not issubclass(obj, BaseException):
                names.append(f"{prefix}.{name}")
        if any(callable(f) and not isinstance(f, type) for f in vars(module).values()):
            names.append(prefix)
    return names


def main(name):
    module, _, attr = name.partition(".")
    cls = getattr(MODULES[module], attr) if attr else MODULES[module]
    calls, violations = sweep(cls)
    print(f"SWEPT {name} {len(members(cls))} {calls} {violations}")
