"""A griffe extension for the API reference site (mkdocs.yml): gives each overloaded member of a
type stub one entry.

griffe keeps `@typing.overload` definitions aside until the implementation that follows them,
and a stub has none: the member would have no entry. This adds the member, with the overloads'
signatures and, as its documentation, the documentation of each overload in their order."""

from __future__ import annotations

from typing import Any

import griffe


class StubOverloads(griffe.Extension):
    def on_members(self, *, obj: griffe.Object, **kwargs: Any) -> None:
        if obj.kind not in (griffe.Kind.MODULE, griffe.Kind.CLASS):
            return
        for name, overloads in list(obj.overloads.items()):
            if not overloads or name in obj.members:
                continue
            first, last = overloads[0], overloads[-1]
            function = griffe.Function(
                name,
                lineno=first.lineno,
                endlineno=last.endlineno,
                parameters=first.parameters,
                returns=first.returns,
                parent=obj,
                analysis="static",
            )
            if len(overloads) == 1:
                text = first.docstring.value if first.docstring else ""
            else:
                text = "\n".join(
                    f"{number}. {overload.docstring.value if overload.docstring else ''}"
                    for number, overload in enumerate(overloads, 1)
                )
            function.docstring = griffe.Docstring(text, lineno=first.lineno, parent=function)
            function.overloads = overloads
            obj.set_member(name, function)
            del obj.overloads[name]
