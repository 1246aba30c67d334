"""Regenerates the type stubs shipped with the package from the built extension modules, merged
with the documentation table scripts/stub_docs.py (parameter names, precise types, one line of
documentation per class, member and function).

    .venv/bin/python scripts/stubs.py            # writes src/pyzol/{core,unit,sim}.pyi
    .venv/bin/python scripts/stubs.py OUT_DIR    # writes them into OUT_DIR (the drift test)

Needs the test extra (pybind11-stubgen, typing_extensions) and the package installed. Fails,
writing nothing, when the table and the modules disagree: a member of `unit` without an entry,
an entry that names no member, parameters that no longer match, or a member left without
documentation.

Besides merging the table, it makes what pybind11-stubgen writes acceptable to type checkers:
  - `__eq__`/`__ne__` take any object (the modules answer NotImplemented for other types), as
    object's own do;
  - `__hash__ = None` (classes that define equality) is declared the way typeshed does it;
  - an overload whose signature repeats an earlier one is dropped: the earlier one takes every
    argument list it would (the wide-path overloads after the narrow ones).
"""

from __future__ import annotations

import ast
import inspect
import pathlib
import re
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "scripts"))

import stub_docs  # noqa: E402
from stub_docs import C, M  # noqa: E402

MODULES = ("core", "unit", "sim")
TABLES = {"core": stub_docs.CORE, "unit": stub_docs.UNIT, "sim": stub_docs.SIM}
# Modules that carry no documentation at run time: every member needs an entry.
COMPLETE = {"unit"}
UNNAMED = re.compile(r"arg\d+")
HASH_NONE = "__hash__: typing.ClassVar[None]"
# Marks an attribute's documentation until it is written out (ast quotes it as a plain string).
ATTRIBUTE_DOC = "\x00attribute\x00"


class TableError(Exception):
    """The documentation table and the built modules disagree."""


def stubgen(name: str, out: str) -> str:
    # Run outside the tree, so that the installed package is the one found.
    subprocess.run(
        [sys.executable, "-m", "pybind11_stubgen", f"pyzol.{name}", "-o", out,
         "--print-invalid-expressions-as-is"],
        cwd=out, check=True, capture_output=True, text=True,
    )  # fmt: skip
    text = (pathlib.Path(out) / "pyzol" / f"{name}.pyi").read_text()
    # The module's exception type is called Exception too: its base is the builtin one.
    return text.replace("class Exception(Exception):", "class Exception(builtins.Exception):")


def docstring(text: str) -> ast.Expr:
    return ast.Expr(ast.Constant(text))


def has_doc(body: list[ast.stmt]) -> bool:
    first = body[0] if body else None
    return (
        isinstance(first, ast.Expr) and isinstance(first.value, ast.Constant)
        and isinstance(first.value.value, str)
    )  # fmt: skip


def set_doc(body: list[ast.stmt], text: str) -> None:
    if has_doc(body):
        body[0] = docstring(text)
    else:
        body[:] = [docstring(text)] + [s for s in body if not is_filler(s)]


def is_filler(stmt: ast.stmt) -> bool:
    return isinstance(stmt, ast.Pass) or (
        isinstance(stmt, ast.Expr) and isinstance(stmt.value, ast.Constant)
        and stmt.value.value is Ellipsis
    )  # fmt: skip


def signature(params: str) -> ast.arguments:
    func = ast.parse(f"def _({params}): pass").body[0]
    assert isinstance(func, ast.FunctionDef)
    return func.args


def decorators(func: ast.FunctionDef) -> set[str]:
    return {ast.unparse(d) for d in func.decorator_list}


class Merger:
    """Merges one module's table into the stub that pybind11-stubgen wrote for it."""

    def __init__(self, module: str, table: dict[str, C | M]) -> None:
        self.module = module
        self.table = table
        self.complete = module in COMPLETE
        self.problems: list[str] = []

    def merge(self, text: str) -> str:
        tree = ast.parse(text)
        entries = dict(self.table)
        module_doc = entries.pop("", None)
        tree.body = self.scope(tree.body, entries, f"pyzol.{self.module}", {}, method=False)
        if isinstance(module_doc, M) and isinstance(module_doc.doc, str):
            set_doc(tree.body, module_doc.doc)
        self.add_imports(tree)
        if self.problems:
            raise TableError("\n".join(self.problems))
        for node in ast.walk(tree):
            if isinstance(node, (ast.Module, ast.ClassDef, ast.FunctionDef)) and has_doc(node.body):
                node.body[0] = docstring(inspect.cleandoc(node.body[0].value.value))
        return "\n".join(tidy(line) for line in ast.unparse(tree).splitlines()) + "\n"

    def problem(self, text: str) -> None:
        self.problems.append(text)

    # ---- a module's or a class's body ---------------------------------------------------------

    def scope(self, body, entries, where, words, method):
        groups: dict[str, list[ast.FunctionDef]] = {}
        for stmt in body:
            if isinstance(stmt, ast.FunctionDef):
                groups.setdefault(stmt.name, []).append(stmt)
        used: set[str] = set()
        out: list[ast.stmt] = []
        for stmt in body:
            if isinstance(stmt, ast.FunctionDef):
                if stmt is groups[stmt.name][0]:
                    out += self.functions(
                        groups[stmt.name],
                        self.entry(entries, stmt.name, where, used),
                        f"{where}.{stmt.name}",
                        words,
                        method,
                    )
            elif isinstance(stmt, ast.ClassDef):
                out.append(
                    self.cls(
                        stmt, self.entry(entries, stmt.name, where, used), f"{where}.{stmt.name}"
                    )
                )
            elif isinstance(stmt, ast.AnnAssign) and isinstance(stmt.target, ast.Name):
                name = stmt.target.id
                if name == "__all__":
                    continue  # the modules define no export list
                entry = self.entry(entries, name, where, used)
                out += self.attribute(stmt, entry, f"{where}.{name}", words)
            else:
                out.append(stmt)
        for name in entries.keys() - used:
            self.problem(f"{where}.{name}: the table documents a member that does not exist")
        return out

    def entry(self, entries, name, where, used):
        entry = entries.get(name)
        if entry is None:
            if self.complete:
                self.problem(f"{where}.{name}: no entry in scripts/stub_docs.py")
            return M()
        used.add(name)
        return entry

    def cls(self, node: ast.ClassDef, entry, where: str) -> ast.ClassDef:
        if not isinstance(entry, C):
            entry = C(None, {}) if entry == M() else None
            if entry is None:
                self.problem(f"{where}: a class, documented as a member")
                return node
        words = {"{cls}": node.name, "{board}": entry.board}
        node.body = self.scope(node.body, dict(entry.members), where, words, method=True)
        if entry.doc:
            set_doc(node.body, entry.doc)
        if not has_doc(node.body):
            self.problem(f"{where}: no documentation")
        return node

    # ---- members ------------------------------------------------------------------------------

    def attribute(self, stmt: ast.AnnAssign, entry: M, where: str, words) -> list[ast.stmt]:
        if isinstance(entry, C):
            self.problem(f"{where}: an attribute, documented as a class")
            return [stmt]
        if stmt.target.id == "__hash__" and ast.unparse(stmt.annotation) == "typing.ClassVar[None]":
            stmt.value = None
        if entry.type:
            stmt.annotation = ast.parse(fill(entry.type, words), mode="eval").body
        if entry.params:
            self.problem(f"{where}: an attribute takes no parameters")
        if not isinstance(entry.doc, str):
            self.problem(f"{where}: no documentation")
            return [stmt]
        return [stmt, docstring(ATTRIBUTE_DOC + fill(entry.doc, words))]

    def functions(self, funcs, entry, where, words, method) -> list[ast.stmt]:
        if isinstance(entry, C):
            self.problem(f"{where}: a function, documented as a class")
            return list(funcs)
        setters = [f for f in funcs if any(d.endswith(".setter") for d in decorators(f))]
        funcs = [f for f in funcs if f not in setters]
        # Drop overloads that repeat an earlier signature: they can never be reached.
        unique: list[ast.FunctionDef] = []
        seen: set[str] = set()
        for func in funcs:
            if func.name in ("__eq__", "__ne__"):
                func.args = signature("self, other: object, /")
            key = ast.dump(func.args) + ast.dump(func.returns or ast.Constant(None))
            if key not in seen:
                seen.add(key)
                unique.append(func)
        if len(unique) == 1:
            unique[0].decorator_list = [d for d in unique[0].decorator_list
                                        if ast.unparse(d) != "typing.overload"]  # fmt: skip
        is_property = any("property" in decorators(f) for f in unique)
        params = per_overload(entry.params, 1 if is_property else len(unique))
        docs = per_overload(entry.doc, len(unique))
        if params is None or docs is None:
            self.problem(
                f"{where}: the table has entries for another number of overloads "
                f"than the module's {len(unique)}"
            )
            return unique + setters
        for i, func in enumerate(unique):
            name = f"{where}[{i}]" if len(unique) > 1 else where
            takes_self = method and "staticmethod" not in decorators(func)
            if not is_property:
                self.parameters(func, params[i], name, words, takes_self)
            if entry.type:
                func.returns = ast.parse(fill(entry.type, words), mode="eval").body
            if docs[i]:
                set_doc(func.body, fill(docs[i], words))
            if not has_doc(func.body):
                self.problem(f"{name}: no documentation")
            if not func.body:
                func.body = [ast.Expr(ast.Constant(Ellipsis))]
        for setter in setters:
            self.parameters(setter, params[0] if is_property else None, where, words, True)
        return unique + setters

    def parameters(self, func, names, where, words, takes_self) -> None:
        args = func.args
        given = args.posonlyargs + args.args
        own = given[1:] if takes_self else given
        if names is None:
            if any(UNNAMED.fullmatch(p.arg) for p in own):
                self.problem(f"{where}: parameters without a name need names in the table")
            return
        table = signature(fill(names, words))
        if args.vararg and args.kwarg and not own:
            # A signature pybind11-stubgen could not read: the table gives it whole.
            table.posonlyargs = given[:1] + table.posonlyargs if takes_self else table.posonlyargs
            func.args = table
            return
        if args.vararg and table.vararg:
            args.vararg = table.vararg
        named = table.posonlyargs + table.args
        if len(named) != len(own):
            self.problem(
                f"{where}: the table names {len(named)} parameters, the module takes {len(own)}"
            )
            return
        unnamed = bool(own) and all(UNNAMED.fullmatch(p.arg) for p in own)
        for param, doc in zip(own, named, strict=True):
            if UNNAMED.fullmatch(param.arg):
                param.arg = doc.arg
            elif param.arg != doc.arg:
                self.problem(f"{where}: parameter `{param.arg}` is `{doc.arg}` in the table")
            if doc.annotation is not None:
                param.annotation = doc.annotation
        if unnamed or table.posonlyargs:
            # Parameters without a name at run time can only be passed by position.
            args.posonlyargs, args.args = given, []

    def add_imports(self, tree: ast.Module) -> None:
        text = ast.unparse(tree)
        have = {alias.name for stmt in tree.body if isinstance(stmt, ast.Import)
                for alias in stmt.names}  # fmt: skip
        wanted = set(
            re.findall(r"\b(pyzol\.(?:core|unit)|typing_extensions|typing|builtins)\.", text)
        )
        wanted.discard(f"pyzol.{self.module}")
        at = next(i for i, s in enumerate(tree.body) if isinstance(s, ast.ImportFrom)) + 1
        for name in sorted(wanted - have):
            tree.body.insert(at, ast.Import([ast.alias(name)]))


def tidy(line: str) -> str:
    """One line of the stub as a person would write it."""
    text = line.strip()
    if text == HASH_NONE:
        # typeshed's way of saying that a class which defines equality cannot be hashed.
        return line + "  # type: ignore[assignment]"
    if text[1:].startswith(repr(ATTRIBUTE_DOC)[1:-1]):
        # An attribute's documentation, quoted as the other docstrings are.
        value = ast.literal_eval(text).removeprefix(ATTRIBUTE_DOC)
        return line[: len(line) - len(text)] + f'"""{value}"""'
    if text.startswith("def "):
        # A default after an annotation: `option: int = -1`, not `option: int=-1`.
        line = re.sub(r"(: [\w.\[\] |]+)=", r"\1 = ", line)
    return line


def fill(text: str, words: dict[str, str]) -> str:
    for key, value in words.items():
        text = text.replace(key, value)
    return text


def per_overload(value, count):
    """The table's value for each of `count` overloads: a list must have one per overload."""
    if isinstance(value, list):
        return value if len(value) == count else None
    return [value] * count


def generate(destination) -> None:
    destination = pathlib.Path(destination)
    texts = {}
    with tempfile.TemporaryDirectory() as out:
        for name in MODULES:
            texts[name] = Merger(name, TABLES[name]).merge(stubgen(name, out))
    for name, text in texts.items():
        (destination / f"{name}.pyi").write_text(text)
    (destination / "py.typed").touch()


if __name__ == "__main__":
    target = sys.argv[1] if len(sys.argv) > 1 else ROOT / "src" / "pyzol"
    try:
        generate(target)
    except TableError as error:
        sys.exit(f"scripts/stub_docs.py and the built modules disagree:\n{error}")
    print(f"stubs written: {', '.join(f'{target}/{name}.pyi' for name in MODULES)}")
