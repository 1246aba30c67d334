# Sourced by the scripts: find_python prints the path of a CPython 3.12 interpreter, python3.12
# where it runs, else the newest ~/.pyenv/versions/3.12.* (the bare command works only where
# pyenv selects that version).
find_python() {
    if command -v python3.12 >/dev/null 2>&1 && python3.12 -c 'import sys' >/dev/null 2>&1; then
        command -v python3.12
        return
    fi
    local candidate
    candidate="$(ls -d "$HOME"/.pyenv/versions/3.12.*/bin/python3.12 2>/dev/null | sort -V | tail -n 1 || true)"
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then
        echo "$candidate"
        return
    fi
    echo "pyzol needs CPython 3.12 (python3.12 or ~/.pyenv/versions/3.12.*)" >&2
    exit 1
}
