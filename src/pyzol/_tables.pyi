"""The name tables of pyzol.unit's classes with settings by name."""

def classes() -> list[str]:
    """The Python names of the classes with settings by name, in registration order."""

def table(arg0: str, /) -> tuple[list[tuple[str, str | None, str | None]], list[str] | None]:
    """(names, commands) of a class: each name in table order with the kind it is read as and the kind it is written as (None: not in that direction); the commands it accepts, or None for a class without commands."""
