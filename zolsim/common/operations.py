"""Writes the table of the library's named operations ("CxMB100::Open", "Api::GetXmlItem", ...)
from its interface headers: the operations the journal records and `sim::Fail` can arm a fault
for. Run by the build of the simulated library, so that the table is never a second copy.

    python operations.py OUTPUT.cpp HEADER...

An operation is a member of a class whose objects exist (a class that no other class of the
headers derives from), named in CamelCase or `operator==` / `operator!=`, declared in the
class or in one of its library bases; constructors, destructors and assignment are not
operations. The image's accessors are values, not operations, and so is CxModule's ClassName.
"""

from __future__ import annotations

import re
import sys
from pathlib import Path

CLASS = re.compile(r"^class ZOL_API (\w+)\s*(?::\s*([^{]*))?\{", re.M)
MEMBER = re.compile(r"(?<![\w~:])([A-Z]\w*|operator[=!]=)\s*\(")
# Classes whose members the journal does not record: value helpers and the allocation base.
VALUES = {"CxModule", "CxImage", "CxException", "CxStringA"}


def classes(text: str) -> dict[str, tuple[list[str], list[str]]]:
    """Each class of a header: its bases and the names of its members, in declaration order."""
    found = {}
    for m in CLASS.finditer(text):
        name = m.group(1)
        bases = re.findall(r"public\s+(\w+)", m.group(2) or "")
        depth, i = 1, m.end()
        while depth:
            depth += {"{": 1, "}": -1}.get(text[i], 0)
            i += 1
        body = re.sub(r"//[^\n]*", "", text[m.end() : i - 1])
        members = []
        for line in body.split(";"):
            for member in MEMBER.findall(line.split("{")[0])[:1]:
                if member != name and member not in members:
                    members.append(member)
        found[name] = (bases, members)
    return found


def operations(headers: list[str]) -> list[str]:
    table: dict[str, tuple[list[str], list[str]]] = {}
    for header in headers:
        table.update(classes(Path(header).read_text()))
    bases = {base for b, _ in table.values() for base in b}

    def members(name: str) -> list[str]:
        own_bases, own = table[name]
        inherited = [m for base in own_bases if base in table for m in members(base)]
        return [] if name in VALUES else list(dict.fromkeys(inherited + own))

    return sorted(
        f"{name}::{member}"
        for name in table
        if name not in bases and name not in VALUES and not name.startswith("Ix")
        for member in members(name)
    )


def main() -> None:
    output, *headers = sys.argv[1:]
    ops = operations(headers)
    lines = ",\n".join(f'    "{op}"' for op in ops)
    text = (
        "// Written by zolsim/common/operations.py from the library's headers: do not edit.\n"
        "#include <cstddef>\n\n"
        "namespace zolsim {\n"
        f"extern const char* const kOperations[] = {{\n{lines},\n}};\n"
        f"extern const std::size_t kOperationCount = {len(ops)};\n"
        "} // namespace zolsim\n"
    )
    path = Path(output)
    if not path.exists() or path.read_text() != text:
        path.write_text(text)


if __name__ == "__main__":
    main()
